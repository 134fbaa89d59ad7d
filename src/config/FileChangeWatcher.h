#pragma once

#include <chrono>

namespace tarnleaf {

// The platform's change notification for one file (inotify, a folder change notification):
// what lets the reader skip asking the file itself on every message, and tell a file that is
// being written from one that is finished. Implemented by the OS backends and handed to
// ConfigFile; every call comes from the one thread that reads the profiles.
class FileChangeWatcher {
public:
    virtual ~FileChangeWatcher() = default;

    // Whether the file may differ from what it was at the previous call: written, truncated,
    // replaced by rename, created or deleted. Never blocks; a false alarm only costs a read.
    virtual bool ChangedSinceLastAsked() = 0;

    // Whether a program is still writing the file: it has changed the file and not yet
    // closed it (or holds it open for writing).
    virtual bool WriterActive() = 0;

    // Waits until no writer is left, at most `limit`. True when none is left.
    virtual bool AwaitNoWriter(std::chrono::milliseconds limit) = 0;

    // False while the watch cannot see the file (its folder went away, the event queue
    // failed); the reader then asks the file itself. Asked before every use: a watcher may
    // see again once the path leads to a folder once more (renamed back, or made anew).
    virtual bool Watching() = 0;
};

}  // namespace tarnleaf
