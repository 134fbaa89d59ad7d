#include "InotifyFileWatcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tarnleaf {
namespace {

namespace fs = std::filesystem;
constexpr std::chrono::milliseconds kWait{20};
const fs::path kFolder = ::testing::TempDir() + "tarnleaf-watch-" + std::to_string(::getpid());
const fs::path kFile = kFolder / "Tarnleaf.ini";

// Writers holding the file open are seen through the refused lease before any event, and
// breaking it leaves the process running; a save by rename is whole and watched in turn.
TEST(InotifyFileWatcher, SeesWritersSavesByRenameAndTheFolderGone) {
    fs::create_directories(kFolder);
    std::ofstream(kFile) << "a";
    const auto watcher = InotifyFileWatcher::Create(kFile);
    ASSERT_TRUE(watcher);
    const int fd = ::open(kFile.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(watcher->WriterActive() && !watcher->AwaitNoWriter(kWait));
    ::close(fd);
    EXPECT_TRUE(watcher->AwaitNoWriter(kWait));
    std::atomic<bool> stop{false};
    std::thread writer([&] { while (!stop) ::close(::open(kFile.c_str(), O_WRONLY | O_CLOEXEC)); });
    for (int i = 0; i < 20000; ++i) (void)watcher->WriterActive();
    stop = true;
    writer.join();
    (void)watcher->ChangedSinceLastAsked();
    std::ofstream(kFolder / "Tarnleaf.ini.new") << "c";
    fs::rename(kFolder / "Tarnleaf.ini.new", kFile);
    EXPECT_TRUE(watcher->ChangedSinceLastAsked() && !watcher->WriterActive());
    std::ofstream(kFile) << "d";
    EXPECT_TRUE(watcher->ChangedSinceLastAsked());
    fs::permissions(kFile, fs::perms::owner_read);  // may make it unreadable: no write
    EXPECT_TRUE(watcher->ChangedSinceLastAsked());
    fs::rename(kFile, kFolder / "old");
    fs::create_hard_link(kFolder / "old", kFile);  // a second name made in place: whole
    EXPECT_TRUE(watcher->ChangedSinceLastAsked() && !watcher->WriterActive());
    fs::rename(kFolder, kFolder.string() + "~");  // another folder may take its place
    EXPECT_TRUE(watcher->ChangedSinceLastAsked() && !watcher->Watching());
    fs::remove_all(kFolder.string() + "~");
    fs::create_directories(kFolder);  // made anew: watched again
    EXPECT_TRUE(watcher->Watching() && watcher->ChangedSinceLastAsked());
    std::ofstream(kFile) << "e";
    EXPECT_TRUE(watcher->ChangedSinceLastAsked() && watcher->Watching());
    fs::remove_all(kFolder);
}

// The queue is read only after a signal said it took an event; an edit made by another
// thread, or another process, is seen at the very next question all the same.
TEST(InotifyFileWatcher, EditByAnotherThreadOrProcessIsSeenAtTheNextQuestion) {
    fs::create_directories(kFolder);
    std::ofstream(kFile) << "a";
    const auto watcher = InotifyFileWatcher::Create(kFile);
    ASSERT_TRUE(watcher);
    (void)watcher->ChangedSinceLastAsked();
    for (int i = 0; i < 200; ++i) {
        ASSERT_FALSE(watcher->ChangedSinceLastAsked());
        if (i % 2 == 0) {
            std::thread([] { std::ofstream(kFile) << "b"; }).join();
        } else {
            ASSERT_EQ(std::system(("echo c > " + kFile.string()).c_str()), 0);
        }
        ASSERT_TRUE(watcher->ChangedSinceLastAsked()) << i;
        (void)watcher->AwaitNoWriter(kWait);
        (void)watcher->ChangedSinceLastAsked();
    }
    fs::remove_all(kFolder);
}

// A link in the file's place may lead to another folder, to a target that does not exist
// yet, or that an editor moves away to save anew; its events are seen there, and only its.
TEST(InotifyFileWatcher, FollowsALinkToAnotherFolderThroughAbsenceSavesAndNewTargets) {
    for (const char* folder : {"link", "real", "other"}) fs::create_directories(kFolder / folder);
    const fs::path link = kFolder / "link" / "Tarnleaf.ini";
    const fs::path real = kFolder / "real" / "t.ini";
    fs::create_symlink("../real/t.ini", link);
    const auto watcher = InotifyFileWatcher::Create(link);
    ASSERT_TRUE(watcher);
    (void)watcher->ChangedSinceLastAsked();
    const auto settle = [&] {
        (void)watcher->AwaitNoWriter(kWait);
        (void)watcher->ChangedSinceLastAsked();
    };
    std::ofstream(real) << "a";
    EXPECT_TRUE(watcher->ChangedSinceLastAsked()) << "target made after the start";
    settle();
    fs::rename(real, kFolder / "real" / "t.ini~");
    EXPECT_TRUE(watcher->ChangedSinceLastAsked()) << "target moved away";
    std::ofstream(real) << "b";
    EXPECT_TRUE(watcher->ChangedSinceLastAsked()) << "target saved anew";
    settle();
    std::ofstream(kFolder / "real" / "t.ini~") << "c";
    EXPECT_FALSE(watcher->ChangedSinceLastAsked()) << "the old target is no longer followed";
    fs::remove(link);
    fs::create_symlink(kFolder / "other" / "u.ini", link);
    EXPECT_TRUE(watcher->ChangedSinceLastAsked()) << "link pointed elsewhere";
    EXPECT_FALSE(watcher->WriterActive()) << "a link made in place is no writer";
    settle();
    std::ofstream(real) << "d";
    EXPECT_FALSE(watcher->ChangedSinceLastAsked());
    std::ofstream(kFolder / "other" / "u.ini") << "e";
    EXPECT_TRUE(watcher->ChangedSinceLastAsked() && watcher->Watching());
    fs::remove_all(kFolder);
}

}  // namespace
}  // namespace tarnleaf
