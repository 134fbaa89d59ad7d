#include "ConsoleTools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tarnleaf {
namespace {

TEST(RunCheck, ExitCodeSaysWhetherTheFileHasMistakes) {
    const auto folder = std::filesystem::temp_directory_path();
    const auto faulty = folder / "tarnleaf-check-test.ini";
    std::ofstream(faulty) << "[TestMessage]\nsa=10.0.0.1\nLeaseTime=60\n";
    const struct {
        std::filesystem::path file;
        int code;
        std::string out, err;
    } cases[] = {
        {TARNLEAF_EXAMPLE_INI, 0, std::string(TARNLEAF_EXAMPLE_INI) + ": no mistakes found\n", ""},
        {faulty, 1, faulty.string() + ":3: unknown key \"LeaseTime\"", ""},
        {folder / "no-such-tarnleaf.ini", 1, "", "does not exist"},
    };
    for (const auto& c : cases) {
        const ToolOutcome outcome = RunCheck(c.file);
        EXPECT_EQ(outcome.exitCode, c.code) << c.file;
        EXPECT_EQ(outcome.out.rfind(c.out, 0), 0u) << outcome.out;
        EXPECT_NE(outcome.err.find(c.err), std::string::npos) << outcome.err;
    }
    std::filesystem::remove(faulty);
}

}  // namespace
}  // namespace tarnleaf
