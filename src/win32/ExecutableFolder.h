#pragma once

#include "FilePath.h"

namespace tarnleaf {

// The folder of the running program, where Tarnleaf.ini is looked for. Built from the
// wide module path, so a folder name outside the ANSI code page survives.
FilePath ExecutableFolder();

}  // namespace tarnleaf
