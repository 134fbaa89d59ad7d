#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

#include "FileChangeWatcher.h"
#include "FilePath.h"

namespace tarnleaf {

// Windows' nearest to inotify: a change notification on the file's folder says that
// something in it was written, created, deleted or renamed; an open that denies others
// writing fails with a sharing violation while a writer still holds the file. The system
// may report a size or write time late (when its cache is flushed), so the file's
// attributes are compared as well: one query of them per look.
class Win32FileWatcher final : public FileChangeWatcher {
public:
    // No watcher when the folder cannot be watched.
    static std::unique_ptr<Win32FileWatcher> Create(const FilePath& file);
    ~Win32FileWatcher() override;

    Win32FileWatcher(const Win32FileWatcher&) = delete;
    Win32FileWatcher& operator=(const Win32FileWatcher&) = delete;

    bool ChangedSinceLastAsked() override;
    bool WriterActive() override;
    bool AwaitNoWriter(std::chrono::milliseconds limit) override;
    bool Watching() override { return !lost_; }

private:
    Win32FileWatcher(HANDLE change, std::wstring file);
    // Whether the size, write time or attributes differ from the last look.
    bool AttributesChanged();

    HANDLE change_;
    std::wstring file_;  // wide once, as every look at the file asks for it
    bool lost_ = false;
    bool exists_ = false;
    WIN32_FILE_ATTRIBUTE_DATA attributes_{};
};

}  // namespace tarnleaf
