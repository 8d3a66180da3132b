#pragma once
#include <string>

namespace lk {

// Hands a file (or folder, or address) to the shell's "open" with no owner
// window, no parameters, no working folder, shown normally. The result is
// not examined: opening is a convenience for the player.
void ShellOpen(const std::string& path);

}  // namespace lk
