#include <cstdio>
#include <memory>

#include "FileAccess.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tarnleaf {

namespace {

#ifdef _WIN32
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

std::FILE* OpenForReading(const FilePath& path) { return _wfopen(path.wstring().c_str(), L"rb"); }
#else
// One stat call: this runs once per message handled.
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

std::FILE* OpenForReading(const FilePath& path) { return std::fopen(path.c_str(), "rb"); }
#endif

class LocalFiles final : public FileAccess {
public:
    std::optional<FileIdentity> Identify(const FilePath& path) const override {
        return IdentifyFile(path);
    }

    std::optional<std::string> ReadAll(const FilePath& path,
                                       std::uintmax_t maxBytes) const override {
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenForReading(path),
                                                                    &std::fclose);
        if (!file) return std::nullopt;
        std::string content;
        char buffer[64 * 1024];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
            if (content.size() + got > maxBytes) return std::nullopt;
            content.append(buffer, got);
        }
        if (std::ferror(file.get()) != 0) return std::nullopt;
        return content;
    }
};

}  // namespace

std::shared_ptr<const FileAccess> LocalFileAccess() {
    static const auto files = std::make_shared<const LocalFiles>();
    return files;
}

}  // namespace tarnleaf
