#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "FileChangeWatcher.h"

namespace tarnleaf {

// Windows' nearest to inotify: a change notification on the file's folder says that
// something in it was written, created, deleted or renamed; an open that denies others
// writing fails with a sharing violation while a writer still holds the file. The system
// may report a size or write time late (when its cache is flushed), so the file's
// attributes are compared as well: one query of them per look.
class Win32FileWatcher final : public FileChangeWatcher {
public:
    // No watcher when the folder cannot be watched.
    static std::unique_ptr<Win32FileWatcher> Create(const std::filesystem::path& file);
    ~Win32FileWatcher() override;

    Win32FileWatcher(const Win32FileWatcher&) = delete;
    Win32FileWatcher& operator=(const Win32FileWatcher&) = delete;

    bool ChangedSinceLastAsked() override;
    bool WriterActive() override;
    bool AwaitNoWriter(std::chrono::milliseconds limit) override;
    bool Watching() const override { return !lost_; }

private:
    Win32FileWatcher(HANDLE change, std::filesystem::path file);
    // Whether the size, write time or attributes differ from the last look.
    bool AttributesChanged();

    HANDLE change_;
    std::filesystem::path file_;
    bool lost_ = false;
    bool exists_ = false;
    WIN32_FILE_ATTRIBUTE_DATA attributes_{};
};

}  // namespace tarnleaf
