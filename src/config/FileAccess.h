#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "FilePath.h"
#include "Result.h"

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

// Why a file's content could not be had.
enum class FileFault {
    Missing,       // nothing of that name
    NotAFile,      // a folder or some other non-file stands there
    TooLarge,      // larger than the reader accepts
    AccessDenied,  // no permission, or another program holds it locked
    ReadFailed,    // an I/O error
};

struct FileReadError {
    FileFault fault = FileFault::ReadFailed;
    std::string detail;  // the platform's words, or the size for TooLarge
};

// The file operations the configuration reader needs, so tests can stand in for the disk.
class FileAccess {
public:
    virtual ~FileAccess() = default;

    // No value when there is no regular file or it cannot be examined.
    virtual std::optional<FileIdentity> Identify(const FilePath& path) const = 0;

    // The whole content, or why it cannot be had; a file larger than `maxBytes` is never
    // taken into memory.
    virtual Result<std::string, FileReadError> ReadAll(const FilePath& path,
                                                       std::uintmax_t maxBytes) const = 0;
};

// The real file system.
std::shared_ptr<const FileAccess> LocalFileAccess();

}  // namespace tarnleaf
