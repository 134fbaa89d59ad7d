#include <string>

#include "FileAccess.h"

#ifdef _WIN32
#include <windows.h>

#include "WideText.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace tarnleaf {

namespace {

using ReadResult = Result<std::string, FileReadError>;

ReadResult Fail(FileFault fault, std::string detail) {
    return ReadResult::Fail(FileReadError{fault, std::move(detail)});
}

ReadResult TooLarge(std::uintmax_t size) {
    return Fail(FileFault::TooLarge, std::to_string(size) + " bytes");
}

#ifdef _WIN32
// The system's own text, as UTF-8 like the rest of the log.
std::string SystemText(DWORD code) { return SystemMessage(code); }

FileFault FaultOf(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return FileFault::Missing;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return FileFault::AccessDenied;
        default:
            return FileFault::ReadFailed;
    }
}

std::optional<FileIdentity> IdentifyFile(const FilePath& path) {
    // No access rights are asked for: only the attributes are read, and the file stays
    // free for the user's editor to write, rename or delete.
    HANDLE handle = CreateFileW(path.wstring().c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    FileIdentity identity;
    identity.size = (std::uintmax_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    // 100-nanosecond steps; only differences count, so the epoch does not matter.
    const std::int64_t written = static_cast<std::int64_t>(
        (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
        info.ftLastWriteTime.dwLowDateTime);
    identity.modifiedNs = written * 100;
    // The volume serial number and file index change when an editor saves by writing a
    // new file and renaming it over the old one.
    identity.device = info.dwVolumeSerialNumber;
    identity.fileIndex =
        (std::uint64_t{info.nFileIndexHigh} << 32) | std::uint64_t{info.nFileIndexLow};
    return identity;
}

ReadResult ReadFile(const FilePath& path, std::uintmax_t maxBytes) {
    // Shared for writing and deletion, so the user's editor is never refused a save.
    HANDLE handle = CreateFileW(path.wstring().c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        return Fail(FaultOf(code), SystemText(code));
    }
    struct Closer {
        HANDLE h;
        ~Closer() { CloseHandle(h); }
    } closer{handle};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        return Fail(FileFault::ReadFailed, SystemText(GetLastError()));
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Fail(FileFault::NotAFile, "");
    const std::uintmax_t size =
        (std::uintmax_t{info.nFileSizeHigh} << 32) | std::uintmax_t{info.nFileSizeLow};
    if (size > maxBytes) return TooLarge(size);
    std::string content;
    content.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    // A file that grows while it is read is cut at the size it had; the caller sees that it
    // changed and reads it again.
    while (got < content.size()) {
        DWORD n = 0;
        if (!::ReadFile(handle, content.data() + got, static_cast<DWORD>(content.size() - got),
                        &n, nullptr)) {
            return Fail(FileFault::ReadFailed, SystemText(GetLastError()));
        }
        if (n == 0) break;
        got += n;
    }
    content.resize(got);
    return ReadResult::Ok(std::move(content));
}
#else
// One stat call: without a change notification this runs once per message handled.
std::optional<FileIdentity> IdentifyFile(const FilePath& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    constexpr std::int64_t kNs = 1'000'000'000;
    FileIdentity identity;
    identity.size = static_cast<std::uintmax_t>(info.st_size);
    identity.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * kNs +
                          info.st_mtim.tv_nsec;
    identity.changedNs = static_cast<std::int64_t>(info.st_ctim.tv_sec) * kNs +
                         info.st_ctim.tv_nsec;
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.fileIndex = static_cast<std::uint64_t>(info.st_ino);
    return identity;
}

ReadResult ErrnoFailure(int code) {
    const FileFault fault = code == ENOENT || code == ENOTDIR ? FileFault::Missing
                            : code == EACCES || code == EPERM ? FileFault::AccessDenied
                            : code == EISDIR                  ? FileFault::NotAFile
                                                              : FileFault::ReadFailed;
    return Fail(fault, std::strerror(code));
}

ReadResult ReadFile(const FilePath& path, std::uintmax_t maxBytes) {
    // Non-blocking, so that a FIFO put in the file's place cannot hang the server.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return ErrnoFailure(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) return ErrnoFailure(errno);
    if (!S_ISREG(info.st_mode)) return Fail(FileFault::NotAFile, "");
    const auto size = static_cast<std::uintmax_t>(info.st_size);
    if (size > maxBytes) return TooLarge(size);
    // Exactly the size the file has: no slack beyond the text itself. A file that grows
    // while it is read is cut there; the caller sees that it changed and reads it again.
    std::string content;
    content.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (got < content.size()) {
        const ssize_t n = ::read(fd, content.data() + got, content.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ErrnoFailure(errno);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    content.resize(got);
    return ReadResult::Ok(std::move(content));
}
#endif

class LocalFiles final : public FileAccess {
public:
    std::optional<FileIdentity> Identify(const FilePath& path) const override {
        return IdentifyFile(path);
    }

    ReadResult ReadAll(const FilePath& path,
                       std::uintmax_t maxBytes) const override {
        return ReadFile(path, maxBytes);
    }
};

}  // namespace

std::shared_ptr<const FileAccess> LocalFileAccess() {
    static const auto files = std::make_shared<const LocalFiles>();
    return files;
}

}  // namespace tarnleaf
