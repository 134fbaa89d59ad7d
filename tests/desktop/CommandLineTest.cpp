#include "CommandLine.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

namespace fs = std::filesystem;

TEST(CommandLine, ConfigPairIsTakenOutAndTheRestKept) {
    const struct { const char* text; std::optional<std::string> configPath; const char* rest; }
        cases[] = {
            {"-x  --config a.ini   -y", "a.ini", "-x -y"},
            {"--config \"C:\\My Files\\t.ini\" -NOLOG", "C:\\My Files\\t.ini", "-NOLOG"},
            {"--config", std::nullopt, "--config"},  // a switch without its value stays
            {"--config a --config b", "a", "--config b"},
            {"\"--config\" a", std::nullopt, "\"--config\" a"},
            {"--configx a", std::nullopt, "--configx a"},
            {"--config \"\" -NOLOG", std::nullopt, "-NOLOG"},
            {"--config \"my file", "my file", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.text).configPath, c.configPath) << c.text;
        EXPECT_EQ(SplitCommandLine(c.text).rest, c.rest) << c.text;
    }
    // Separate arguments: the value as it stands, quotes and all; blank ones kept in the rest.
    const auto split =
        SplitArguments({"-x", "--config", "/a \"b\"/T.ini", "", "--config", "c", "-NOLOG "});
    EXPECT_EQ(split.configPath, "/a \"b\"/T.ini");
    EXPECT_EQ(split.rest, "-x \"\" --config c \"-NOLOG \"");
    EXPECT_EQ(SplitArguments({"-NOLOG", "--config"}).rest, "-NOLOG --config");
}

TEST(CommandLine, OnlyTheWholeRestNologInAnyCaseTurnsLoggingOff) {
    for (const char* off : {"-NOLOG", "-NoLoG"}) EXPECT_TRUE(LoggingStartsOff(off));
    for (const char* on : {"", "-NOLOG -X", " -NOLOG", "NOLOG"}) EXPECT_FALSE(LoggingStartsOff(on));
}

TEST(CommandLine, ConfigFileIsTheSwitchValueFromTheCurrentFolderElseTarnleafIni) {
    const fs::path folder = "/opt/tarnleaf", here = fs::current_path();
    EXPECT_EQ(ResolveConfigFile(SplitCommandLine("-NOLOG"), folder), folder / "Tarnleaf.ini");
    EXPECT_EQ(ResolveConfigFile(SplitCommandLine("--config conf/../site.ini"), folder),
              here / "site.ini");
    const fs::path absolute = (here / "elsewhere" / "x.ini").lexically_normal();
    EXPECT_EQ(ResolveConfigFile({absolute.string(), ""}, folder), absolute);
}

}  // namespace
}  // namespace tarnleaf
