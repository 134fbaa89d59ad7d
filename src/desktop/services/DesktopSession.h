#pragma once

#include "FilePath.h"

namespace tarnleaf {

// The program's place on the desktop, beyond its windows.
class DesktopSession {
public:
    virtual ~DesktopSession() = default;

    // Whether another copy of this program already runs for this user.
    virtual bool AnotherInstanceRunning() = 0;

    // Opens the document with its default application; failures are not reported.
    virtual void OpenDocument(const FilePath& file) = 0;

    // Closes the windows and ends the event loop; the program then exits with `exitCode`.
    // The first call's code counts.
    virtual void Quit(int exitCode) = 0;
};

}  // namespace tarnleaf
