#include "ExecutableFolder.h"

#include <windows.h>

#include <vector>

namespace tarnleaf {

FilePath ExecutableFolder() {
    // Long paths can exceed MAX_PATH; grow the buffer until the name fits (bounded).
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            break;
        }
        if (length < buffer.size()) {
            return FilePath::FromWide({buffer.data(), length}).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
    return AbsolutePath(FilePath("."));
}

}  // namespace tarnleaf
