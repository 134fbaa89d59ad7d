#include "Win32DesktopSession.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace tarnleaf {

Win32DesktopSession::Win32DesktopSession(Win32MainWindow& window) : window_(window) {}

Win32DesktopSession::~Win32DesktopSession() {
    if (instanceMutex_ != nullptr) CloseHandle(instanceMutex_);
}

bool Win32DesktopSession::AnotherInstanceRunning() {
    if (instanceMutex_ != nullptr) return false;
    std::wstring program = L"tarnleaf.exe";
    std::vector<wchar_t> path(MAX_PATH);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length > 0 && length < path.size()) {
        program = FilePath(FilePath::FromWide({path.data(), length}).filename()).wstring();
    }
    CharLowerBuffW(program.data(), static_cast<DWORD>(program.size()));
    // Per user session ("Local\"), as a previous-instance test is.
    const std::wstring name = L"Local\\Tarnleaf.SingleInstance." + program;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return true;
    }
    instanceMutex_ = mutex;
    return false;
}

void Win32DesktopSession::OpenDocument(const FilePath& file) {
    // The document's own folder is the working folder; what the shell answers (no file, no
    // program for the type) stays unreported.
    ShellExecuteW(window_.Handle(), nullptr, file.wstring().c_str(), nullptr,
                  file.parent_path().wstring().c_str(), SW_SHOWNORMAL);
}

void Win32DesktopSession::Quit(int exitCode) {
    if (quitting_) return;
    quitting_ = true;
    exitCode_ = exitCode;
    window_.Destroy();
    PostQuitMessage(exitCode);
}

int Win32DesktopSession::Run() {
    MSG message{};
    // Asked after every message too: a nested loop running when Quit came (a menu of the log
    // view's, say) may take the quit message for itself, which would leave the program
    // running unseen, still answering requests and holding the port and the instance lock.
    while (!quitting_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return exitCode_;
        if (got < 0) return exitCode_ != 0 ? exitCode_ : 1;
        // Tab and the arrow keys move between the window's controls.
        HWND window = window_.Handle();
        if (window == nullptr || !IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return exitCode_;
}

}  // namespace tarnleaf
