#include "console/ConsoleOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

using ::testing::HasSubstr;
using Args = std::vector<std::string>;

TEST(ConsoleArguments, AcceptedCommandLinesGiveTheseOptions) {
    for (const auto& [args, configPath, logging, port] :
         {std::tuple{Args{}, "", true, 67}, std::tuple{Args{"-NOLOG"}, "", false, 67},
          std::tuple{Args{"-NoLog"}, "", false, 67}, std::tuple{Args{"--nolog"}, "", false, 67},
          std::tuple{Args{"--config", "/etc/tl.ini"}, "/etc/tl.ini", true, 67},
          std::tuple{Args{"--port", "65535"}, "", true, 65535},
          std::tuple{Args{"--port", "0", "-NOLOG", "--config", "a b.ini"}, "a b.ini", false, 0}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const auto parsed = ParseConsoleArguments(args);
        ASSERT_TRUE(parsed.ok()) << parsed.error();
        EXPECT_EQ(parsed.value().configPath, configPath);
        EXPECT_EQ(parsed.value().logging, logging);
        EXPECT_EQ(parsed.value().port, port);
        EXPECT_FALSE(parsed.value().showHelp);
    }
}

TEST(ConsoleArguments, WrongCommandLinesAreRefusedWithAReason) {
    for (const auto& [args, reason] :
         {std::pair{Args{"-NOLOGX"}, "unknown argument \"-NOLOGX\""},
          std::pair{Args{"--config"}, "--config needs a value"},
          std::pair{Args{"--config", ""}, "--config needs a file name"},
          std::pair{Args{"--port"}, "--port needs a value"},
          std::pair{Args{"--port", "65536"}, "not \"65536\""},
          std::pair{Args{"--port", "-1"}, "not \"-1\""},
          std::pair{Args{"--port", "67x"}, "not \"67x\""},
          std::pair{Args{"--port", ""}, "--port needs a number from 0 to 65535"}}) {
        const auto parsed = ParseConsoleArguments(args);
        ASSERT_FALSE(parsed.ok()) << reason;
        EXPECT_THAT(parsed.error(), HasSubstr(reason));
    }
}

TEST(ConsoleArguments, HelpIsRecognisedAndUsageNamesEveryOption) {
    for (const char* help : {"-h", "--help"}) {
        const auto parsed = ParseConsoleArguments({help});
        ASSERT_TRUE(parsed.ok());
        EXPECT_TRUE(parsed.value().showHelp);
    }
    for (const char* word : {"usage: tarnleafd", "--config", "-NOLOG", "--port", "Tarnleaf.ini"}) {
        EXPECT_THAT(ConsoleUsage("tarnleafd"), HasSubstr(word));
    }
}

}  // namespace
}  // namespace tarnleaf
