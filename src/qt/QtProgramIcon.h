#pragma once

#include <QIcon>

namespace tarnleaf {

// The program's icon for the window and the tray: the same 32 x 32 leaf as resource 101 of
// the Windows program, built into this library. Null when the picture cannot be loaded.
QIcon LoadProgramIcon();

}  // namespace tarnleaf
