#include "platform/posix/ProgramFolder.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

struct FolderCase {
    const char* path;
    const char* folder;
};

class FolderOfTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(FolderOfTest, CutsThePathAtItsLastSlash) {
    EXPECT_EQ(FolderOf(GetParam().path), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(Paths, FolderOfTest,
                         ::testing::Values(FolderCase{"/usr/sbin/tarnleafd", "/usr/sbin"},
                                           FolderCase{"/tarnleafd", "/"},
                                           FolderCase{"tarnleafd", "."},
                                           FolderCase{"", "."},
                                           FolderCase{"a/b", "a"},
                                           FolderCase{"/opt/tl/tarnleafd (deleted)", "/opt/tl"}));

TEST(ProgramFolder, IsTheFolderHoldingThisTestProgram) {
    const std::filesystem::path folder = ProgramFolder();
    EXPECT_TRUE(folder.is_absolute());
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "PosixPlatformTest"));
}

}  // namespace
}  // namespace tarnleaf
