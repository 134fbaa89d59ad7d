#include "CommandLine.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

namespace fs = std::filesystem;

TEST(CommandLine, ConfigPairIsTakenOutAndTheRestKept) {
    const struct { const char* text; std::optional<std::string> configPath; const char* rest; }
        cases[] = {
            {"", std::nullopt, ""},
            {"--config a.ini -NOLOG", "a.ini", "-NOLOG"},
            {"-NOLOG --config a.ini", "a.ini", "-NOLOG"},
            {"-x  --config a.ini   -y", "a.ini", "-x -y"},
            {"--config \"C:\\My Files\\t.ini\" -NOLOG", "C:\\My Files\\t.ini", "-NOLOG"},
            {"--config", std::nullopt, "--config"},  // a switch without its value stays
            {"--config a --config b", "a", "--config b"},
            {"\"--config\" a", std::nullopt, "\"--config\" a"},
            {"--configx a", std::nullopt, "--configx a"},
            {"--config \"\" -NOLOG", std::nullopt, "-NOLOG"},
            {"--config \"my file", "my file", ""},
        };
    for (const auto& c : cases) {
        const CommandLineParts parts = SplitCommandLine(c.text);
        EXPECT_EQ(parts.configPath, c.configPath) << c.text;
        EXPECT_EQ(parts.rest, c.rest) << c.text;
    }
    // Arguments joined as the Qt program does split back, blank ones kept.
    const std::vector<std::string> arguments{"--config", "/a b/Tarnleaf.ini", "", "-nolog"};
    EXPECT_EQ(JoinArguments(arguments), "--config \"/a b/Tarnleaf.ini\" \"\" -nolog");
    EXPECT_EQ(SplitCommandLine(JoinArguments(arguments)).configPath, "/a b/Tarnleaf.ini");
}

TEST(CommandLine, OnlyTheWholeRestNologInAnyCaseTurnsLoggingOff) {
    for (const char* off : {"-NOLOG", "-nolog", "-NoLoG"}) EXPECT_TRUE(LoggingStartsOff(off));
    for (const char* on : {"", "-NOLOG -X", "-X -NOLOG", " -NOLOG", "-NOLOG ", "NOLOG", "-NOLO"}) {
        EXPECT_FALSE(LoggingStartsOff(on)) << on;
    }
}

TEST(CommandLine, ConfigFileIsTheSwitchValueFromTheCurrentFolderElseTarnleafIni) {
    const fs::path folder = "/opt/tarnleaf", here = fs::current_path();
    EXPECT_EQ(ResolveConfigFile(SplitCommandLine("-NOLOG"), folder), folder / "Tarnleaf.ini");
    EXPECT_EQ(ResolveConfigFile(SplitCommandLine("--config conf/../site.ini"), folder),
              here / "site.ini");
    const fs::path absolute = (here / "elsewhere" / "x.ini").lexically_normal();
    EXPECT_EQ(ResolveConfigFile({absolute.string(), ""}, folder), absolute);
    EXPECT_EQ(ResolveConfigFile(SplitCommandLine("--config 設定.ini"), folder).filename(),
              "設定.ini");
}

}  // namespace
}  // namespace tarnleaf
