// Prints the text of the running desktop program's log view (UTF-8), for the desktop smoke
// test: a window of another process, read with WM_GETTEXT. Exit code 1 when it is not there.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
    HWND main = FindWindowW(L"TarnleafMainWindow", nullptr);
    HWND view = main != nullptr ? FindWindowExW(main, nullptr, L"EDIT", nullptr) : nullptr;
    if (view == nullptr) {
        return 1;
    }
    const LRESULT length = SendMessageW(view, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(view, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    std::string utf8(text.size() * 4, '\0');  // at most 4 bytes a UTF-16 unit
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(),
                                         static_cast<int>(utf8.size()), nullptr, nullptr);
    std::fwrite(utf8.data(), 1, size > 1 ? static_cast<std::size_t>(size - 1) : 0, stdout);
    return 0;
}
