#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "FilePath.h"

namespace tarnleaf {

// What tells one state of a file from the next without reading it: an edit changes the
// size or a time stamp, a save by rename changes the file's number.
struct FileIdentity {
    std::uintmax_t size = 0;
    std::int64_t modifiedNs = 0;  // last write, nanoseconds (as fine as the platform keeps)
    std::int64_t changedNs = 0;   // POSIX status change; 0 where there is none
    std::uint64_t device = 0;     // device or volume serial number
    std::uint64_t fileIndex = 0;  // inode, or the Windows file index

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The file operations the configuration reader needs, so tests can stand in for the disk.
class FileAccess {
public:
    virtual ~FileAccess() = default;

    // No value when the file does not exist or cannot be examined.
    virtual std::optional<FileIdentity> Identify(const FilePath& path) const = 0;

    // The whole content; no value when the file cannot be opened or read, or is larger
    // than `maxBytes`.
    virtual std::optional<std::string> ReadAll(const FilePath& path,
                                               std::uintmax_t maxBytes) const = 0;
};

// The real file system.
std::shared_ptr<const FileAccess> LocalFileAccess();

}  // namespace tarnleaf
