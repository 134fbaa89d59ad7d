#include "InotifyFileWatcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <atomic>
#include <fstream>
#include <thread>

namespace tarnleaf {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class InotifyFileWatcherTest : public ::testing::Test {
protected:
    InotifyFileWatcherTest() {
        fs::create_directories(folder_);
        Write(file_, "a");
        watcher_ = InotifyFileWatcher::Create(file_);
    }
    ~InotifyFileWatcherTest() override { fs::remove_all(folder_, ignored_); }
    static void Write(const fs::path& path, const char* text) { std::ofstream(path) << text; }

    const fs::path folder_ = fs::temp_directory_path() / ("tarnleaf-watch-" +
                                                          std::to_string(::getpid()));
    const fs::path file_ = folder_ / "Tarnleaf.ini";
    std::unique_ptr<InotifyFileWatcher> watcher_;
    std::error_code ignored_;
};

TEST_F(InotifyFileWatcherTest, SeesAWriterAtItAndDoneAndASaveByRename) {
    ASSERT_TRUE(watcher_);
    EXPECT_FALSE(watcher_->ChangedSinceLastAsked());
    // Opened for writing, nothing written yet: no event, but the lease is refused.
    const int fd = ::open(file_.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(watcher_->WriterActive());
    ASSERT_EQ(::ftruncate(fd, 0), 0);
    EXPECT_TRUE(watcher_->ChangedSinceLastAsked());
    EXPECT_FALSE(watcher_->AwaitNoWriter(20ms));
    ASSERT_EQ(::write(fd, "b", 1), 1);
    ::close(fd);
    EXPECT_TRUE(watcher_->AwaitNoWriter(20ms));
    EXPECT_TRUE(watcher_->ChangedSinceLastAsked());

    Write(folder_ / "Tarnleaf.ini.new", "c");
    EXPECT_FALSE(watcher_->ChangedSinceLastAsked()) << "another file of the folder";
    fs::rename(folder_ / "Tarnleaf.ini.new", file_);
    EXPECT_TRUE(watcher_->ChangedSinceLastAsked());
    EXPECT_FALSE(watcher_->WriterActive()) << "a file renamed into place is whole";
    Write(file_, "d");  // the renamed file is watched in turn
    EXPECT_TRUE(watcher_->ChangedSinceLastAsked());
    fs::permissions(file_, fs::perms::owner_read);  // may make it unreadable: no write
    EXPECT_TRUE(watcher_->ChangedSinceLastAsked());

    fs::remove_all(folder_);
    EXPECT_TRUE(watcher_->ChangedSinceLastAsked());
    EXPECT_FALSE(watcher_->Watching()) << "the folder is gone";
}

TEST_F(InotifyFileWatcherTest, WriterBreakingTheProbeLeaseLeavesTheProcessRunning) {
    ASSERT_TRUE(watcher_);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop) ::close(::open(file_.c_str(), O_WRONLY | O_CLOEXEC));
    });
    for (int i = 0; i < 20000; ++i) (void)watcher_->WriterActive();
    stop = true;
    writer.join();
    SUCCEED() << "still here";
}

}  // namespace
}  // namespace tarnleaf
