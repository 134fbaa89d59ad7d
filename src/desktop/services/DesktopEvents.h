#pragma once

#include "DesktopTypes.h"

namespace tarnleaf {

// What the main window reports to its logic. The backend calls these on the message-loop
// thread, one at a time (the pop-up menu's nested loop excepted).
class DesktopEvents {
public:
    virtual ~DesktopEvents() = default;

    // Every size notification of the main window, minimising and maximising included.
    virtual void OnResize() = 0;

    // The window's close command or the end of the session. The logic ends the program
    // through FormServices::Quit before it returns.
    virtual void OnCloseRequest() = 0;

    virtual void OnMenuClick(MenuItem item) = 0;
    virtual void OnButtonClick(FormButton button) = 0;
};

}  // namespace tarnleaf
