#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "FileAccess.h"
#include "FilePath.h"
#include "IniSnapshot.h"
#include "ProfileSource.h"

namespace tarnleaf {

inline constexpr std::string_view kConfigFileName = "Tarnleaf.ini";

// "<folder>/Tarnleaf.ini": the configuration file kept beside the program.
FilePath DefaultConfigPath(const FilePath& programFolder);

// Tarnleaf.ini on disk, read as a whole into a snapshot. Refresh() looks at the file's
// identity (size, time stamps, file number) and reads it again only when that changed, so
// an edit counts from the next message on while an unchanged file costs one status query.
// A file that could not be read is tried again at every Refresh() and reads as missing
// meanwhile. The file is only ever read.
class ConfigFile final : public ProfileSource {
public:
    // Far beyond any real configuration; a larger file is treated as unreadable rather than
    // taken into memory whole.
    static constexpr std::uintmax_t kMaxFileBytes = 256u * 1024 * 1024;
    // A file that keeps changing while it is read is read this often, then taken as read.
    static constexpr int kMaxReadAttempts = 5;

    // The path is the file this source reads for the whole run. Reads the file at once,
    // so values can be asked for before the first Refresh().
    explicit ConfigFile(FilePath path,
                        std::shared_ptr<const FileAccess> files = LocalFileAccess());

    void Refresh() override;
    const IniSnapshot& Snapshot() const override { return snapshot_; }

    const FilePath& Path() const { return path_; }
    // How often the file's content was read so far (for tests and diagnostics).
    int ReadCount() const { return readCount_; }

private:
    void Reload(std::optional<FileIdentity> identity);

    FilePath path_;
    std::shared_ptr<const FileAccess> files_;
    std::optional<FileIdentity> identity_;
    IniSnapshot snapshot_;
    int readCount_ = 0;
};

}  // namespace tarnleaf
