#pragma once

#include <windows.h>

#include "DesktopSession.h"
#include "Win32MainWindow.h"

namespace tarnleaf {

// The program's session on a Windows desktop: one copy per user (a named mutex), documents
// opened by the shell, and the message loop that Quit ends.
class Win32DesktopSession final : public DesktopSession {
public:
    // `window` must outlive the session; it owns documents opened and gets the dialog keys.
    explicit Win32DesktopSession(Win32MainWindow& window);
    ~Win32DesktopSession() override;
    Win32DesktopSession(const Win32DesktopSession&) = delete;
    Win32DesktopSession& operator=(const Win32DesktopSession&) = delete;

    // Named after the program file: a copy under the same name counts, whatever its
    // folder or letter case. The first caller of the process holds the name until it ends.
    bool AnotherInstanceRunning() override;
    void OpenDocument(const FilePath& file) override;
    void Quit(int exitCode) override;

    // The message loop; returns the code given to the first Quit.
    int Run();

private:
    Win32MainWindow& window_;
    HANDLE instanceMutex_ = nullptr;
    bool quitting_ = false;
    int exitCode_ = 0;
};

}  // namespace tarnleaf
