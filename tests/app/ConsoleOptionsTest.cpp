#include "ConsoleOptions.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

using ::testing::HasSubstr;
using Args = std::vector<std::string>;

TEST(ConsoleArguments, AcceptedCommandLinesGiveTheseOptions) {
    // Expected: config path, logging, port, help, user.
    const std::pair<Args, ConsoleOptions> cases[] = {
        {{}, {"", true, 67, false, {}}},
        {{"-NoLog"}, {"", false, 67, false, {}}},
        {{"--nolog"}, {"", false, 67, false, {}}},
        {{"--config", "/etc/tl.ini"}, {"/etc/tl.ini", true, 67, false, {}}},
        {{"--port", "65535"}, {"", true, 65535, false, {}}},
        {{"--port", "0", "-NOLOG", "--config", "a b"}, {"a b", false, 0, false, {}}},
        {{"-h"}, {"", true, 67, true, {}}},
        {{"--help"}, {"", true, 67, true, {}}},
#ifndef _WIN32
        {{"--user", "nobody", "--port", "6767"}, {"", true, 6767, false, "nobody"}},
#endif
    };
    for (const auto& [args, want] : cases) {
        const auto parsed = ParseConsoleArguments(args);
        ASSERT_TRUE(parsed.ok()) << parsed.error();
        const ConsoleOptions& got = parsed.value();
        EXPECT_EQ(std::tie(got.configPath, got.logging, got.port, got.showHelp, got.user),
                  std::tie(want.configPath, want.logging, want.port, want.showHelp, want.user))
            << ::testing::PrintToString(args);
    }
}

TEST(ConsoleArguments, WrongCommandLinesAreRefusedWithAReason) {
    for (const auto& [args, reason] :
         {std::pair{Args{"-NOLOGX"}, "unknown argument \"-NOLOGX\""},
          std::pair{Args{"--config"}, "--config needs a value"},
          std::pair{Args{"--config", ""}, "--config needs a file name"},
          std::pair{Args{"--port"}, "--port needs a value"},
          std::pair{Args{"--port", "65536"}, "not \"65536\""},
          std::pair{Args{"--port", "67x"}, "not \"67x\""},
          std::pair{Args{"--port", ""}, "--port needs a number from 0 to 65535"},
          std::pair{Args{"--preview", "00-A0-C9-12-34"}, "needs a hardware address"},
          std::pair{Args{"--preview", "00-A0-C9-12-34-56", "--type", "offer"}, "not \"offer\""},
          std::pair{Args{"--check", "--from", "10.0.0.1"}, "go with --preview"},
          std::pair{Args{"--check", "--preview", "0-1-2-3-4-5"}, "separate commands"},
#ifdef _WIN32
          std::pair{Args{"--user", "x"}, "unknown argument \"--user\""}}) {
#else
          std::pair{Args{"--user"}, "--user needs a user name"}}) {
#endif
        const auto parsed = ParseConsoleArguments(args);
        ASSERT_FALSE(parsed.ok()) << reason;
        EXPECT_THAT(parsed.error(), HasSubstr(reason));
    }
}

TEST(ConsoleArguments, UsageNamesEveryOption) {
    for (const char* word : {"usage: tarnleafd", "--config", "-NOLOG", "--port", "--help",
#ifndef _WIN32
                             "--user",
#endif
                             "Tarnleaf.ini", "--check", "--preview MAC", "--type", "--from"}) {
        EXPECT_THAT(ConsoleUsage("tarnleafd"), HasSubstr(word));
    }
}

TEST(ConsoleConfig, NamedFileWinsOverTheOneBesideTheProgramAndAMissingOneIsNoted) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    EXPECT_EQ(ConsoleConfigPath(ConsoleOptions{}, folder), folder / "Tarnleaf.ini");
    ConsoleOptions named;
    named.configPath = "site.ini";
    EXPECT_EQ(ConsoleConfigPath(named, folder), std::filesystem::path("site.ini"));

    EXPECT_THAT(MissingConfigNote(folder / "no-such-Tarnleaf.ini", "tarnleafd"),
                HasSubstr("does not exist yet"));
    const auto existing = folder / "tarnleaf-console-options-test.ini";
    std::ofstream(existing).put('\n');
    EXPECT_EQ(MissingConfigNote(existing, "tarnleafd"), "");
    std::filesystem::remove(existing);
}

}  // namespace
}  // namespace tarnleaf
