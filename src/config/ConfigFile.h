#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "FileAccess.h"
#include "FileChangeWatcher.h"
#include "FilePath.h"
#include "IniSnapshot.h"
#include "ProfileSource.h"

namespace tarnleaf {

inline constexpr std::string_view kConfigFileName = "Tarnleaf.ini";

// "<folder>/Tarnleaf.ini": the configuration file kept beside the program.
FilePath DefaultConfigPath(const FilePath& programFolder);

// Tarnleaf.ini on disk, read as a whole into a snapshot; only ever read.
//
// Only whole files are used. With a change watcher, an unchanged file costs one look at the
// watcher per Refresh(); a changed one is read once its writer is done. A writer still at it
// (an editor that truncates, then writes) is waited for, at most kWriterWait once per write;
// meanwhile the last complete reading answers. Without a watcher (tests, or a platform that
// refused one), and while the watcher cannot see the file, the file's identity (size, time
// stamps, file number) is asked instead, and a read is trusted when the identity held still
// around it.
//
// A file that exists but cannot be read is reported once through TakeReadFault(). While it
// stays unreadable (no permission, an I/O error, over the cap) the last complete reading
// answers; a folder or other non-file in its place counts as no file at all, as does a
// missing file (which is no fault).
class ConfigFile final : public ProfileSource {
public:
    // More than 100,000 client profiles; a larger file is refused rather than taken into
    // memory.
    static constexpr std::uintmax_t kMaxFileBytes = 16u * 1024 * 1024;
    // A file that keeps changing while it is read is read this often per Refresh().
    static constexpr int kMaxReadAttempts = 5;
    static constexpr std::chrono::milliseconds kWriterWait{100};

    // Reads the file at once, so values can be asked for before the first Refresh(). The
    // watcher, when there is one, must already watch `path`.
    explicit ConfigFile(FilePath path,
                        std::shared_ptr<const FileAccess> files = LocalFileAccess(),
                        std::unique_ptr<FileChangeWatcher> watcher = nullptr);

    void Refresh() override;
    const IniSnapshot& Snapshot() const override { return snapshot_; }
    std::optional<ProfileReadFault> TakeReadFault() override;

    const FilePath& Path() const { return path_; }
    // How often the file's content was read so far (for tests and diagnostics).
    int ReadCount() const { return readCount_; }

private:
    // Whether a read is to be tried again at the next Refresh() whatever the file does.
    enum class Retry { No, Yes };

    void RefreshWatched();
    void RefreshByIdentity();
    Retry ReloadByIdentity(std::optional<FileIdentity> before);
    Retry Take(Result<std::string, FileReadError> read);
    void NoteFault(const FileReadError& error);

    FilePath path_;
    std::shared_ptr<const FileAccess> files_;
    std::unique_ptr<FileChangeWatcher> watcher_;
    IniSnapshot snapshot_;
    int readCount_ = 0;

    // With a watcher: it saw the file at the last Refresh(); the file changed since the
    // snapshot was taken; and this write's one bounded wait is spent.
    bool watched_ = false;
    bool stale_ = false;
    bool waitSpent_ = false;
    // Without one: the identity of the file as last read, trusted while `settled_`.
    std::optional<FileIdentity> identity_;
    bool settled_ = false;

    std::optional<FileFault> fault_;
    std::optional<ProfileReadFault> unreported_;
};

// The words of a read fault's "reason [..]".
std::string FileFaultReason(const FileReadError& error, std::uintmax_t maxBytes);

}  // namespace tarnleaf
