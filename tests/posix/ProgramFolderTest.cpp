#include "ProgramFolder.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

TEST(ProgramFolder, IsTheFolderOfThisProgramCutAtTheLastSlash) {
    const std::pair<const char*, const char*> cases[] = {{"/usr/sbin/tarnleafd", "/usr/sbin"},
        {"/tarnleafd", "/"}, {"tarnleafd", "."}, {"/opt/tl/tarnleafd (deleted)", "/opt/tl"}};
    for (const auto& [path, folder] : cases) EXPECT_EQ(FolderOf(path), folder) << path;
    EXPECT_EQ(ProgramFolder(), std::filesystem::canonical("/proc/self/exe").parent_path());
}

}  // namespace
}  // namespace tarnleaf
