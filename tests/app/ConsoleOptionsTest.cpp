#include "console/ConsoleOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

using ::testing::HasSubstr;

struct ArgumentsCase {
    const char* name;
    std::vector<std::string> args;
    std::string configPath;
    bool logging;
    std::uint16_t port;
};

class ConsoleArgumentsAccepted : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(ConsoleArgumentsAccepted, GiveTheseOptions) {
    const auto& c = GetParam();
    const auto parsed = ParseConsoleArguments(c.args);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    EXPECT_EQ(parsed.value().configPath, c.configPath);
    EXPECT_EQ(parsed.value().logging, c.logging);
    EXPECT_EQ(parsed.value().port, c.port);
    EXPECT_FALSE(parsed.value().showHelp);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ConsoleArgumentsAccepted,
    ::testing::Values(
        ArgumentsCase{"NothingMeansLoggingOnPort67BesideTheProgram", {}, "", true, 67},
        ArgumentsCase{"NologUpperCase", {"-NOLOG"}, "", false, 67},
        ArgumentsCase{"NologLowerCase", {"-nolog"}, "", false, 67},
        ArgumentsCase{"NologMixedCase", {"-NoLog"}, "", false, 67},
        ArgumentsCase{"NologLongForm", {"--nolog"}, "", false, 67},
        ArgumentsCase{"ConfigNamesAnotherFile", {"--config", "/etc/tl.ini"}, "/etc/tl.ini", true,
                      67},
        ArgumentsCase{"PortForTests", {"--port", "10067"}, "", true, 10067},
        ArgumentsCase{"EverythingTogether",
                      {"--port", "0", "-NOLOG", "--config", "a b.ini"},
                      "a b.ini",
                      false,
                      0}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct RefusedCase {
    const char* name;
    std::vector<std::string> args;
    const char* reason;
};

class ConsoleArgumentsRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(ConsoleArgumentsRefused, WithAReason) {
    const auto parsed = ParseConsoleArguments(GetParam().args);
    ASSERT_FALSE(parsed.ok());
    EXPECT_THAT(parsed.error(), HasSubstr(GetParam().reason));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ConsoleArgumentsRefused,
    ::testing::Values(RefusedCase{"UnknownWord", {"-NOLOGX"}, "unknown argument \"-NOLOGX\""},
                      RefusedCase{"ConfigWithoutFile", {"--config"}, "--config needs a value"},
                      RefusedCase{"ConfigWithEmptyFile", {"--config", ""}, "file name"},
                      RefusedCase{"PortWithoutNumber", {"--port"}, "--port needs a value"},
                      RefusedCase{"PortTooLarge", {"--port", "65536"}, "65536"},
                      RefusedCase{"PortNegative", {"--port", "-1"}, "-1"},
                      RefusedCase{"PortWithTrailingText", {"--port", "67x"}, "67x"},
                      RefusedCase{"PortEmpty", {"--port", ""}, "--port needs a number"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ConsoleArguments, HelpIsRecognisedAndUsageNamesEveryOption) {
    const auto parsed = ParseConsoleArguments({"--help"});
    ASSERT_TRUE(parsed.ok());
    EXPECT_TRUE(parsed.value().showHelp);
    const std::string usage = ConsoleUsage("tarnleafd");
    for (const char* word : {"--config", "-NOLOG", "--port", "Tarnleaf.ini"}) {
        EXPECT_THAT(usage, HasSubstr(word));
    }
}

}  // namespace
}  // namespace tarnleaf
