#include "ConsoleOptions.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

using ::testing::HasSubstr;
using Args = std::vector<std::string>;

TEST(ConsoleArguments, AcceptedCommandLinesGiveTheseOptions) {
    // Expected: config path, logging, port, help.
    const std::pair<Args, ConsoleOptions> cases[] = {
        {{}, {"", true, 67, false}},
        {{"-NoLog"}, {"", false, 67, false}},
        {{"--nolog"}, {"", false, 67, false}},
        {{"--port", "65535"}, {"", true, 65535, false}},
        {{"--port", "0", "-NOLOG", "--config", "a b"}, {"a b", false, 0, false}},
        {{"-h"}, {"", true, 67, true}}};
    for (const auto& [args, want] : cases) {
        const auto parsed = ParseConsoleArguments(args);
        ASSERT_TRUE(parsed.ok()) << parsed.error();
        const ConsoleOptions& got = parsed.value();
        EXPECT_EQ(std::tie(got.configPath, got.logging, got.port, got.showHelp),
                  std::tie(want.configPath, want.logging, want.port, want.showHelp))
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
          std::pair{Args{"--port", ""}, "--port needs a number from 0 to 65535"}}) {
        const auto parsed = ParseConsoleArguments(args);
        ASSERT_FALSE(parsed.ok()) << reason;
        EXPECT_THAT(parsed.error(), HasSubstr(reason));
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
    EXPECT_EQ(MissingConfigNote(folder, "tarnleafd"), "");
}

}  // namespace
}  // namespace tarnleaf
