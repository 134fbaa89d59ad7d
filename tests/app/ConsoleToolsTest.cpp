#include "ConsoleTools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

namespace tarnleaf {
namespace {

TEST(RunCheck, ExitCodeSaysWhetherTheFileHasMistakes) {
    const auto faulty = std::filesystem::temp_directory_path() / "tarnleaf-check-test.ini";
    std::ofstream(faulty) << "[TestMessage]\nsa=10.0.0.1\nLeaseTime=60\n";
    const std::string example = TARNLEAF_EXAMPLE_INI;
    // {file, exit code, start of the output, part of the error output}
    for (const auto& [file, code, out, err] : {
             std::tuple{example, 0, example + ": no mistakes found\n", ""},
             std::tuple{faulty.string(), 1, faulty.string() + ":3: unknown key \"LeaseTime\"", ""},
             std::tuple{faulty.string() + ".none", 1, std::string(), "does not exist"}}) {
        const ToolOutcome outcome = RunCheck(file);
        EXPECT_EQ(outcome.exitCode, code) << file;
        EXPECT_TRUE(outcome.out.starts_with(out)) << outcome.out;
        EXPECT_NE(outcome.err.find(err), std::string::npos) << outcome.err;
    }
    std::filesystem::remove(faulty);
}

}  // namespace
}  // namespace tarnleaf
