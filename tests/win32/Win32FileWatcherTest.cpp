#include "Win32FileWatcher.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tarnleaf {
namespace {

namespace fs = std::filesystem;
constexpr std::chrono::milliseconds kWait{20};

bool ChangeSeen(FileChangeWatcher& watcher) {  // the notice comes from another thread, later
    for (int i = 0; i < 200; ++i, Sleep(10))
        if (watcher.ChangedSinceLastAsked()) return true;
    return false;
}

TEST(Win32FileWatcher, SeesAWriteAWriterHoldingTheFileAndASaveByRename) {
    const fs::path folder = fs::temp_directory_path() / "tarnleaf-watch";
    fs::create_directories(folder);
    std::ofstream(folder / "Tarnleaf.ini.new") << "c";
    auto watch = Win32FileWatcher::Create(folder / "Tarnleaf.ini");
    ASSERT_TRUE(watch);
    {
        std::ofstream writer(folder / "Tarnleaf.ini");
        EXPECT_TRUE(ChangeSeen(*watch) && watch->WriterActive() && !watch->AwaitNoWriter(kWait));
    }
    fs::rename(folder / "Tarnleaf.ini.new", folder / "Tarnleaf.ini");
    EXPECT_TRUE(ChangeSeen(*watch) && watch->AwaitNoWriter(kWait));
    watch.reset();
    fs::remove_all(folder);
}

}  // namespace
}  // namespace tarnleaf
