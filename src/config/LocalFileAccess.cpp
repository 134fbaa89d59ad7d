#include <fstream>
#include <system_error>

#include "FileAccess.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tarnleaf {

namespace {

#ifdef _WIN32
// The volume serial number and file index, which change when an editor saves by writing a
// new file and renaming it over the old one.
void AddFileNumber(const std::filesystem::path& path, FileIdentity& identity) {
    // No access rights are asked for: only the attributes are read, and the file stays
    // free for the user's editor to write, rename or delete.
    HANDLE handle = CreateFileW(path.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info)) {
        identity.device = info.dwVolumeSerialNumber;
        identity.fileIndex =
            (std::uint64_t{info.nFileIndexHigh} << 32) | std::uint64_t{info.nFileIndexLow};
    }
    CloseHandle(handle);
}

std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::is_regular_file(status)) return std::nullopt;
    FileIdentity identity;
    identity.size = std::filesystem::file_size(path, error);
    if (error) return std::nullopt;
    const auto written = std::filesystem::last_write_time(path, error);
    if (error) return std::nullopt;
    identity.modifiedNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(written.time_since_epoch()).count();
    AddFileNumber(path, identity);
    return identity;
}
#else
// One stat call: this runs once per message handled.
std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path) {
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
#endif

class LocalFiles final : public FileAccess {
public:
    std::optional<FileIdentity> Identify(const std::filesystem::path& path) const override {
        return IdentifyFile(path);
    }

    std::optional<std::string> ReadAll(const std::filesystem::path& path,
                                       std::uintmax_t maxBytes) const override {
        std::ifstream in(path, std::ios::binary);
        if (!in) return std::nullopt;
        std::string content;
        char buffer[64 * 1024];
        while (in) {
            in.read(buffer, sizeof buffer);
            const auto got = static_cast<std::size_t>(in.gcount());
            if (content.size() + got > maxBytes) return std::nullopt;
            content.append(buffer, got);
        }
        if (in.bad()) return std::nullopt;
        return content;
    }
};

}  // namespace

std::shared_ptr<const FileAccess> LocalFileAccess() {
    static const auto files = std::make_shared<const LocalFiles>();
    return files;
}

}  // namespace tarnleaf
