// Prints the text of the running desktop program's log view (UTF-8), for the desktop smoke
// test: a window of another process, read with WM_GETTEXT. Exit code 1 when it is not there.
#include <windows.h>

#include <cstdio>
#include <vector>

int main() {
    HWND main = FindWindowW(L"TarnleafMainWindow", nullptr);
    HWND view = main != nullptr ? FindWindowExW(main, nullptr, L"EDIT", nullptr) : nullptr;
    if (view == nullptr) {
        std::fputs("no log view\n", stderr);
        return 1;
    }
    const LRESULT length = SendMessageW(view, WM_GETTEXTLENGTH, 0, 0);
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
    SendMessageW(view, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> utf8(static_cast<std::size_t>(size > 1 ? size : 1));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), -1, utf8.data(), size, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size() - 1, stdout);  // without the terminating zero
    return 0;
}
