#include "ConfigFile.h"

#include <utility>

namespace tarnleaf {

FilePath DefaultConfigPath(const FilePath& programFolder) {
    // operator/ adds a separator only when the folder does not already end in one.
    return programFolder / FilePath(std::string(kConfigFileName));
}

std::string FileFaultReason(const FileReadError& error, std::uintmax_t maxBytes) {
    const auto withDetail = [&](std::string text) {
        return error.detail.empty() ? text : text + ": " + error.detail;
    };
    switch (error.fault) {
        case FileFault::Missing:
            return "missing";
        case FileFault::NotAFile:
            return "not a file (a folder?)";
        case FileFault::TooLarge:
            return withDetail("too large") + ", at most " + std::to_string(maxBytes) +
                   " are read";
        case FileFault::AccessDenied:
            return withDetail("access denied");
        case FileFault::ReadFailed:
            break;
    }
    return withDetail("read failed");
}

ConfigFile::ConfigFile(FilePath path, std::shared_ptr<const FileAccess> files,
                       std::unique_ptr<FileChangeWatcher> watcher)
    : path_(std::move(path)),
      files_(files ? std::move(files) : LocalFileAccess()),
      watcher_(std::move(watcher)),
      watched_(watcher_ != nullptr) {
    if (watched_) {
        stale_ = true;
        RefreshWatched();
    } else {
        RefreshByIdentity();
    }
}

void ConfigFile::Refresh() {
    const bool watching = watcher_ && watcher_->Watching();
    if (watching != watched_) {
        // The watch went blind, or sees again: what happened in between was not seen, so the
        // file is read now either way. While blind, the file itself is asked.
        watched_ = watching;
        settled_ = false;
        stale_ = true;
        waitSpent_ = false;
    }
    if (watching) {
        RefreshWatched();
    } else {
        RefreshByIdentity();
    }
}

void ConfigFile::RefreshWatched() {
    if (watcher_->ChangedSinceLastAsked()) stale_ = true;
    if (!stale_) return;
    bool waited = false;
    for (int attempt = 0; attempt < kMaxReadAttempts; ++attempt) {
        if (watcher_->WriterActive()) {
            // One bounded wait per write and per Refresh(): a writer that keeps the file
            // open longer, or is at it again, is not waited for on every message; until it
            // is done, the last complete reading answers.
            if (waitSpent_ || waited || !watcher_->AwaitNoWriter(kWriterWait)) {
                waitSpent_ = true;
                return;
            }
            waited = true;
        }
        waitSpent_ = false;
        // What happened before this point is in the read. A writer found at it afterwards,
        // or a change reported after that, may have cut the read short: it is not trusted.
        // (The writer is asked first: once it has closed the file, all its changes are
        // reported.)
        (void)watcher_->ChangedSinceLastAsked();
        auto read = files_->ReadAll(path_, kMaxFileBytes);
        readCount_ += read.ok();
        const bool writerAfter = watcher_->WriterActive();
        if (watcher_->ChangedSinceLastAsked() || writerAfter) continue;
        stale_ = Take(std::move(read)) == Retry::Yes;
        return;
    }
    // Never held still through a whole read: the last complete reading stays, and the next
    // Refresh() tries again.
}

void ConfigFile::RefreshByIdentity() {
    auto identity = files_->Identify(path_);
    if (settled_ && identity == identity_) return;
    settled_ = ReloadByIdentity(std::move(identity)) == Retry::No;
}

ConfigFile::Retry ConfigFile::ReloadByIdentity(std::optional<FileIdentity> before) {
    // The identity is taken before and after each read: a difference, or a content of
    // another size than the file claimed, means the file changed under the read.
    for (int attempt = 1;; ++attempt) {
        auto read = files_->ReadAll(path_, kMaxFileBytes);
        readCount_ += read.ok();
        auto after = files_->Identify(path_);
        const bool settled =
            after == before && (!read.ok() || !after || read.value().size() == after->size);
        if (settled) {
            identity_ = std::move(after);
            return Take(std::move(read));
        }
        if (attempt == kMaxReadAttempts) {
            // The last read serves for now; the identity from before it is not trusted, so
            // the next Refresh() reads again.
            (void)Take(std::move(read));
            return Retry::Yes;
        }
        before = std::move(after);
    }
}

ConfigFile::Retry ConfigFile::Take(Result<std::string, FileReadError> read) {
    if (read.ok()) {
        snapshot_ = IniSnapshot::Adopt(std::move(read).value());
        fault_.reset();
        unreported_.reset();
        return Retry::No;
    }
    const FileReadError& error = read.error();
    switch (error.fault) {
        case FileFault::Missing:
            // Deleted, or never there: no profiles, and nothing to report.
            snapshot_ = IniSnapshot();
            fault_.reset();
            unreported_.reset();
            return Retry::No;
        case FileFault::NotAFile:
            // Something put in the file's place on purpose: the file is gone.
            snapshot_ = IniSnapshot();
            NoteFault(error);
            return Retry::No;
        case FileFault::TooLarge:
            // The user's last good file answers; the next change of the file is read again.
            NoteFault(error);
            return Retry::No;
        case FileFault::AccessDenied:
        case FileFault::ReadFailed:
            break;
    }
    // Most likely passing (a lock, a permission being fixed, a flaky disk), and a lock let go
    // is no change that a watcher reports: the last complete reading answers, and the read
    // is tried at every Refresh() until it succeeds.
    NoteFault(error);
    return Retry::Yes;
}

void ConfigFile::NoteFault(const FileReadError& error) {
    if (fault_ == error.fault) return;  // still the same condition: reported when it began
    fault_ = error.fault;
    unreported_ = ProfileReadFault{path_.string(), FileFaultReason(error, kMaxFileBytes)};
}

std::optional<ProfileReadFault> ConfigFile::TakeReadFault() {
    return std::exchange(unreported_, std::nullopt);
}

}  // namespace tarnleaf
