#pragma once

#include <filesystem>

namespace tarnleaf {

// The folder of the running program, where Tarnleaf.ini is looked for. Built from the
// wide module path, so a folder name outside the ANSI code page survives.
std::filesystem::path ExecutableFolder();

}  // namespace tarnleaf
