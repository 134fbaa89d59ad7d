#include "ui/CommandLine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace tarnleaf {
namespace {

struct SplitCase {
    const char* name;
    std::string text;
    std::optional<std::string> configPath;
    std::string rest;
};

std::ostream& operator<<(std::ostream& out, const SplitCase& c) { return out << c.name; }

class CommandLineSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommandLineSplit, TakesTheConfigPairOutAndKeepsTheRest) {
    const CommandLineParts parts = SplitCommandLine(GetParam().text);
    EXPECT_EQ(parts.configPath, GetParam().configPath);
    EXPECT_EQ(parts.rest, GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CommandLineSplit,
    ::testing::Values(
        SplitCase{"Empty", "", std::nullopt, ""},
        SplitCase{"NoSwitchLeavesTheTextAsItIs", " -NOLOG ", std::nullopt, " -NOLOG "},
        SplitCase{"PairAlone", "--config a.ini", "a.ini", ""},
        SplitCase{"PairBeforeTheWord", "--config a.ini -NOLOG", "a.ini", "-NOLOG"},
        SplitCase{"PairAfterTheWord", "-NOLOG --config a.ini", "a.ini", "-NOLOG"},
        SplitCase{"PairBetweenWordsJoinsThemWithOneSpace", "-x  --config a.ini   -y", "a.ini",
                  "-x -y"},
        SplitCase{"QuotedPathWithSpaces", "--config \"C:\\My Files\\t.ini\" -NOLOG",
                  "C:\\My Files\\t.ini", "-NOLOG"},
        SplitCase{"TabsSeparateToo", "--config\ta.ini\t-NOLOG", "a.ini", "-NOLOG"},
        SplitCase{"SwitchWithoutValueStays", "--config", std::nullopt, "--config"},
        SplitCase{"SwitchWithOnlyBlanksStays", "-NOLOG --config  ", std::nullopt,
                  "-NOLOG --config  "},
        SplitCase{"OnlyTheFirstPairCounts", "--config a --config b", "a", "--config b"},
        SplitCase{"QuotedSwitchIsNoSwitch", "\"--config\" a", std::nullopt, "\"--config\" a"},
        SplitCase{"LongerWordIsNoSwitch", "--configx a", std::nullopt, "--configx a"},
        SplitCase{"EmptyQuotedValueNamesNoFile", "--config \"\" -NOLOG", std::nullopt,
                  "-NOLOG"},
        SplitCase{"UnterminatedQuoteRunsToTheEnd", "--config \"my file", "my file", ""},
        SplitCase{"Utf8PathIsKept", "--config 設定.ini", "設定.ini", ""}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct LoggingCase {
    const char* name;
    std::string rest;
    bool off;
};

std::ostream& operator<<(std::ostream& out, const LoggingCase& c) { return out << c.name; }

class LoggingSwitch : public ::testing::TestWithParam<LoggingCase> {};

TEST_P(LoggingSwitch, OnlyTheWholeTextNologInAnyCaseTurnsLoggingOff) {
    EXPECT_EQ(LoggingStartsOff(GetParam().rest), GetParam().off);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LoggingSwitch,
    ::testing::Values(LoggingCase{"UpperCase", "-NOLOG", true},
                      LoggingCase{"LowerCase", "-nolog", true},
                      LoggingCase{"MixedCase", "-NoLoG", true},
                      LoggingCase{"Empty", "", false},
                      LoggingCase{"WithASecondWord", "-NOLOG -X", false},
                      LoggingCase{"AfterAnotherWord", "-X -NOLOG", false},
                      LoggingCase{"LeadingBlank", " -NOLOG", false},
                      LoggingCase{"TrailingBlank", "-NOLOG ", false},
                      LoggingCase{"WithoutDash", "NOLOG", false},
                      LoggingCase{"SlashForm", "/NOLOG", false},
                      LoggingCase{"Prefix", "-NOLO", false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(ConfigFileTest, WithoutSwitchItIsTarnleafIniInTheProgramsFolder) {
    const CommandLineParts parts = SplitCommandLine("-NOLOG");
    EXPECT_EQ(ResolveConfigFile(parts, "/opt/tarnleaf"),
              std::filesystem::path("/opt/tarnleaf") / "Tarnleaf.ini");
}

TEST(ConfigFileTest, RelativeSwitchValueCountsFromTheCurrentFolder) {
    const CommandLineParts parts = SplitCommandLine("--config conf/site.ini");
    EXPECT_EQ(ResolveConfigFile(parts, "/opt/tarnleaf"),
              (std::filesystem::current_path() / "conf" / "site.ini").lexically_normal());
}

TEST(ConfigFileTest, AbsoluteSwitchValueIsKept) {
    const std::filesystem::path absolute =
        (std::filesystem::current_path() / "elsewhere" / "x.ini").lexically_normal();
    CommandLineParts parts;
    parts.configPath = absolute.string();
    EXPECT_EQ(ResolveConfigFile(parts, "/opt/tarnleaf"), absolute);
}

TEST(ConfigFileTest, Utf8NameIsReadAsUtf8) {
    const CommandLineParts parts = SplitCommandLine("--config 設定.ini");
    EXPECT_TRUE(ResolveConfigFile(parts, "/opt/tarnleaf").filename().u8string() == u8"設定.ini");
}

}  // namespace
}  // namespace tarnleaf
