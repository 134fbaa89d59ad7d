// Prints the text of the running desktop program's log view, for the desktop smoke test:
// the view is a window of another process, read with WM_GETTEXT like any window's text.
// Exit code 0 with the text (UTF-8) on standard output; 1 when the window is not there.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
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
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), -1, nullptr, 0, nullptr,
                                         nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), -1, utf8.data(), size, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, std::strlen(utf8.c_str()), stdout);
    return 0;
}
