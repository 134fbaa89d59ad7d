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

TEST(ProgramFolder, ConfigurationLivesBesideTheProgramUnlessInstalledWithTheSystem) {
    EXPECT_EQ(ConfigFolderFor("/usr/bin"), "/etc/tarnleaf");
    EXPECT_EQ(ConfigFolderFor("/home/me/tarnleaf/build/app"), "/home/me/tarnleaf/build/app");
    EXPECT_EQ(ConfigFolderFor("/usr/bin/tools"), "/usr/bin/tools");
}

}  // namespace
}  // namespace tarnleaf
