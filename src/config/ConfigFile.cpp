#include "ConfigFile.h"

#include <utility>

namespace tarnleaf {

FilePath DefaultConfigPath(const FilePath& programFolder) {
    // operator/ adds a separator only when the folder does not already end in one.
    return programFolder / FilePath(std::string(kConfigFileName));
}

ConfigFile::ConfigFile(FilePath path, std::shared_ptr<const FileAccess> files)
    : path_(std::move(path)), files_(files ? std::move(files) : LocalFileAccess()) {
    Reload(files_->Identify(path_));
}

void ConfigFile::Refresh() {
    auto identity = files_->Identify(path_);
    if (identity == identity_) return;
    Reload(std::move(identity));
}

void ConfigFile::Reload(std::optional<FileIdentity> identity) {
    // The identity is taken before and after each read: a difference, or a content of
    // another size than the file claimed, means the file changed under the read.
    for (int attempt = 1; identity; ++attempt) {
        if (identity->size > kMaxFileBytes) break;
        auto content = files_->ReadAll(path_, kMaxFileBytes);
        ++readCount_;
        auto after = files_->Identify(path_);
        if (!after) {
            identity.reset();
            break;
        }
        const bool settled =
            after == identity && (!content || content->size() == identity->size);
        if (settled || attempt == kMaxReadAttempts) {
            // Only a settled, successful read is trusted until the file changes. An unsettled
            // one keeps the identity from before it, and a failed one (a file that another
            // program holds locked for a moment) none, so the next Refresh() tries again.
            if (settled) {
                identity_ = content ? after : std::nullopt;
            } else {
                identity_ = identity;
            }
            snapshot_ = content ? IniSnapshot::Adopt(std::move(*content)) : IniSnapshot();
            return;
        }
        identity = std::move(after);
    }
    // No file, one that cannot be examined, or one far too large: every key reads as
    // missing until the file changes.
    identity_ = identity;
    snapshot_ = IniSnapshot();
}

}  // namespace tarnleaf
