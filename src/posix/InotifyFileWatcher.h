#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "FileChangeWatcher.h"
#include "FilePath.h"

namespace tarnleaf {

// inotify on one file and on its folder. The folder's watch sees the file created, deleted
// or renamed into place (an editor's save by rename); the file's own watch follows it
// through a symbolic link, and the folder of the link's target is watched as well, so that a
// target saved by rename, or missing for a while, is seen there. A folder on the way renamed
// or deleted blinds the watch until the path leads to a folder again. A writer is still at it
// while a change (IN_MODIFY, or a file created) is not yet followed by IN_CLOSE_WRITE, or
// while a read lease is refused: the kernel makes a truncated file visible before it queues
// the event, so the events alone cannot tell a read that raced a writer. Where no lease can
// be had (a file of another owner, once privileges are given up), a file written within the
// last 50 ms counts as still being written, unless it was put in place whole.
//
// An unchanged file costs no system call: the event queue raises SIGIO in the thread that
// asks, so the process handles SIGIO (counting it) from the first question on, and that
// thread's waits (poll, epoll_wait) may end early with EINTR.
class InotifyFileWatcher final : public FileChangeWatcher {
public:
    // A writer that has changed nothing for this long is taken as done even if it keeps the
    // file open (or never reports a close, as a hard link made in place).
    static constexpr std::chrono::milliseconds kQuietWriter{1000};

    // No watcher when inotify is not to be had (no instance left, the folder unreadable).
    static std::unique_ptr<InotifyFileWatcher> Create(const FilePath& file);
    ~InotifyFileWatcher() override;

    InotifyFileWatcher(const InotifyFileWatcher&) = delete;
    InotifyFileWatcher& operator=(const InotifyFileWatcher&) = delete;

    bool ChangedSinceLastAsked() override;
    bool WriterActive() override;
    bool AwaitNoWriter(std::chrono::milliseconds limit) override;
    // Blind, it looks for the folder on the path again.
    bool Watching() override;

private:
    using Clock = std::chrono::steady_clock;

    InotifyFileWatcher(int fd, int folderWatch, FilePath file);
    void Drain();
    void ReadQueue();
    void Handle(int watch, std::uint32_t mask, const std::string& name);
    void MarkWriting(bool writing);
    void WatchFileAgain();
    void WatchPathAgain();
    void DropWatches();
    void WatchLinkTarget();
    bool WritingNow();
    std::optional<bool> LeaseRefused() const;
    bool WrittenJustNow() const;
    bool SignalOnEvents();

    int fd_;
    int folderWatch_;
    int fileWatch_ = -1;
    FilePath file_;
    std::string fileName_;
    // Where a symbolic link in the file's place leads: its folder's watch (-1: no link; the
    // link's own folder's watch when the target lies beside it) and the target's name.
    int targetFolderWatch_ = -1;
    FilePath targetFolder_;
    std::string targetName_;
    bool changed_ = false;
    bool writing_ = false;
    bool lost_ = false;
    Clock::time_point lastWrite_{};
    Clock::time_point retryAt_{};  // blind for want of a target's watch: when to look again
    bool leaseRefused_ = false;  // at the last look: a writer holds the file open
    // The write time of the file last put in place whole (renamed there, or a link made);
    // -1: none.
    std::int64_t wholeWrittenNs_ = -1;
    // The queue raises SIGIO in the thread that asks (set up at its first question); the
    // signal count as of the last drain.
    bool armed_ = false;
    bool signalled_ = false;
    std::uint32_t signalsDrained_ = 0;
};

}  // namespace tarnleaf
