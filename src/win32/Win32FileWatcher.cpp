#include "Win32FileWatcher.h"

#include <utility>

namespace tarnleaf {

namespace {

// How often a held file is tried while waiting for its writer.
constexpr DWORD kProbeIntervalMs = 5;

}  // namespace

std::unique_ptr<Win32FileWatcher> Win32FileWatcher::Create(const FilePath& file) {
    FilePath folder = file.parent_path();
    if (folder.empty()) folder = ".";
    const HANDLE change = FindFirstChangeNotificationW(
        folder.wstring().c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
            FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SECURITY);
    if (change == INVALID_HANDLE_VALUE) return nullptr;
    return std::unique_ptr<Win32FileWatcher>(new Win32FileWatcher(change, file.wstring()));
}

Win32FileWatcher::Win32FileWatcher(HANDLE change, std::wstring file)
    : change_(change), file_(std::move(file)) {
    (void)AttributesChanged();
}

Win32FileWatcher::~Win32FileWatcher() { FindCloseChangeNotification(change_); }

bool Win32FileWatcher::ChangedSinceLastAsked() {
    if (lost_) return true;
    bool notified = false;
    if (WaitForSingleObject(change_, 0) == WAIT_OBJECT_0) {
        notified = true;
        // Rearmed before the caller reads, so a change during its read signals again.
        if (!FindNextChangeNotification(change_)) lost_ = true;
    }
    return AttributesChanged() || notified;
}

bool Win32FileWatcher::AttributesChanged() {
    WIN32_FILE_ATTRIBUTE_DATA now{};
    const bool exists = GetFileAttributesExW(file_.c_str(), GetFileExInfoStandard, &now) != 0;
    const auto same = [](const FILETIME& a, const FILETIME& b) {
        return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
    };
    const bool changed =
        exists != exists_ ||
        (exists && (now.dwFileAttributes != attributes_.dwFileAttributes ||
                    now.nFileSizeLow != attributes_.nFileSizeLow ||
                    now.nFileSizeHigh != attributes_.nFileSizeHigh ||
                    !same(now.ftLastWriteTime, attributes_.ftLastWriteTime) ||
                    !same(now.ftCreationTime, attributes_.ftCreationTime)));
    exists_ = exists;
    attributes_ = now;
    return changed;
}

bool Win32FileWatcher::WriterActive() {
    // Read access denying others the right to write: refused while anyone has the file
    // open for writing. Closed at once, so no editor is ever refused a save by it.
    const HANDLE probe =
        CreateFileW(file_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(probe);
    return false;
}

bool Win32FileWatcher::AwaitNoWriter(std::chrono::milliseconds limit) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(limit.count());
    while (WriterActive()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(kProbeIntervalMs);
    }
    return true;
}

}  // namespace tarnleaf
