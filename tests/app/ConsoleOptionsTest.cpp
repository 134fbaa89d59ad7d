#include "ConsoleOptions.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

using ::testing::HasSubstr;
using Args = std::vector<std::string>;

TEST(ConsoleArguments, AcceptedCommandLinesGiveTheseOptions) {
    const std::pair<Args, ConsoleOptions> cases[] = {  // path, logging, port, help, user
        {{}, {"", true, 67, false, {}}},
        {{"--port", "0", "-NoLog", "--config", "a b"}, {"a b", false, 0, false, {}}},
        {{"--nolog", "-h", "--port", "65535"}, {"", false, 65535, true, {}}},
#ifndef _WIN32
        {{"--user", "nobody", "--help"}, {"", true, 67, true, "nobody"}},
#endif
    };
    const auto fields = [](const ConsoleOptions& o) {
        return std::tie(o.configPath, o.logging, o.port, o.showHelp, o.user);
    };
    for (const auto& [args, want] : cases) {
        const auto parsed = ParseConsoleArguments(args);
        ASSERT_TRUE(parsed.ok()) << parsed.error();
        EXPECT_EQ(fields(parsed.value()), fields(want)) << ::testing::PrintToString(args);
    }
}

TEST(ConsoleArguments, WrongCommandLinesAreRefusedWithAReason) {
    for (const auto& [args, reason] :
         {std::pair{Args{"-NOLOGX"}, "unknown argument \"-NOLOGX\""},
          std::pair{Args{"--config", ""}, "--config needs a file name"},
          std::pair{Args{"--port", "65536"}, "not \"65536\""},
          std::pair{Args{"--preview", "00-A0-C9-12-34"}, "needs a hardware address"},
          std::pair{Args{"--preview", "00-A0-C9-12-34-56", "--type", "offer"}, "not \"offer\""},
          std::pair{Args{"--check", "--from", "10.0.0.1"}, "go with --preview"},
          std::pair{Args{"--check", "--preview", "0-1-2-3-4-5"}, "separate commands"},
#ifdef _WIN32
          std::pair{Args{"--user", "x"}, "unknown argument \"--user\""}}) {
#else
          std::pair{Args{"--user"}, "--user needs a user name"}}) {
#endif
        EXPECT_THAT(ParseConsoleArguments(args).error(), HasSubstr(reason));
    }
    EXPECT_THAT(ConsoleUsage("tarnleafd"), HasSubstr("usage: tarnleafd"));
}

TEST(ConsoleConfig, NamedFileWinsOverTheOneBesideTheProgramAndAMissingOneIsNoted) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    EXPECT_EQ(ConsoleConfigPath(ConsoleOptions{}, folder), folder / "Tarnleaf.ini");
    const ConsoleOptions named = ParseConsoleArguments(Args{"--config", "site.ini"}).value();
    EXPECT_EQ(ConsoleConfigPath(named, folder), "site.ini");
    EXPECT_THAT(MissingConfigNote(folder / "no-such-Tarnleaf.ini", "tarnleafd"),
                HasSubstr("does not exist yet"));
    EXPECT_EQ(MissingConfigNote(TARNLEAF_EXAMPLE_INI, "tarnleafd"), "");
    // Something there that is no readable file is the read-error entry's to say.
    EXPECT_EQ(MissingConfigNote(folder, "tarnleafd"), "");
}

}  // namespace
}  // namespace tarnleaf
