#include "Win32FileWatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tarnleaf {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The notification comes from another thread of the system, a moment after the change.
bool ChangeSeen(FileChangeWatcher& watcher) {
    for (int i = 0; i < 200; ++i) {
        if (watcher.ChangedSinceLastAsked()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(Win32FileWatcher, SeesAWriteAWriterHoldingTheFileAndASaveByRename) {
    const fs::path folder = fs::temp_directory_path() / "tarnleaf-watch";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path file = folder / "Tarnleaf.ini";
    std::ofstream(file) << "a";
    auto watcher = Win32FileWatcher::Create(file);
    ASSERT_TRUE(watcher);
    EXPECT_FALSE(watcher->ChangedSinceLastAsked());
    {
        std::ofstream writer(file, std::ios::trunc);
        writer << "b" << std::flush;
        EXPECT_TRUE(ChangeSeen(*watcher));
        EXPECT_TRUE(watcher->WriterActive());
        EXPECT_FALSE(watcher->AwaitNoWriter(20ms));
    }
    EXPECT_TRUE(watcher->AwaitNoWriter(20ms));
    std::ofstream(folder / "Tarnleaf.ini.new") << "c";
    (void)ChangeSeen(*watcher);  // the folder's notice covers every file in it
    fs::rename(folder / "Tarnleaf.ini.new", file);
    EXPECT_TRUE(ChangeSeen(*watcher));
    EXPECT_FALSE(watcher->WriterActive());
    watcher.reset();
    fs::remove_all(folder);
}

}  // namespace
}  // namespace tarnleaf
