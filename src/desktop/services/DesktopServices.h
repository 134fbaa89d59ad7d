#pragma once

#include "DesktopEvents.h"
#include "DesktopTypes.h"
#include "FormServices.h"
#include "NotifyIconData.h"
#include "ScreenGeometry.h"
#include "ShellServices.h"

namespace tarnleaf {

// Everything the desktop program's logic asks of the platform. A backend (Win32, Qt, the
// in-memory fake of the tests) implements all of it in one object, and is handed the
// DesktopEvents that receive the main window's events (the window logic, frmMain).
//
// Wiring of the desktop program:
//   Backend desktop(...);                     // builds the hidden window
//   modSubClass hooks(desktop);
//   frmMain form(desktop, hooks, log, sendTest, bindEndpoint);
//   desktop.SetEvents(form);                   // backend-specific call
//   form.Start();                              // load handler, then the first showing
//   return desktop.Run();                      // backend-specific message loop
class DesktopServices : public ShellServices, public ScreenGeometry, public FormServices {};

}  // namespace tarnleaf
