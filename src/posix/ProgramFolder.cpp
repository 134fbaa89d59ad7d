#include "ProgramFolder.h"

#include <unistd.h>

#include <vector>

namespace tarnleaf {

std::string FolderOf(std::string_view path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return std::string(path.substr(0, slash));
}

std::string ProgramFolder() {
    // readlink does not say whether it cut the name; a buffer that comes back full is
    // grown and read again, a bounded number of times.
    std::vector<char> buffer(512);
    for (int attempt = 0; attempt < 6; ++attempt) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return ".";
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return FolderOf(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
        }
        buffer.resize(buffer.size() * 4);
    }
    return ".";
}

std::string ConfigFolderFor(std::string_view programFolder) {
    return programFolder == "/usr/bin" ? "/etc/tarnleaf" : std::string(programFolder);
}

std::string ConfigFolder() { return ConfigFolderFor(ProgramFolder()); }

}  // namespace tarnleaf
