#pragma once
// Where the running program lies. Every file the launcher names is built by
// plain concatenation onto its folder, never resolved against the current
// directory.
#include <string>

namespace lk {

// Full path of the running executable (any length, UTF-8).
std::string OwnExecutablePath();

// The folder of the running executable with a trailing path separator.
std::string LauncherFolder();

// The running executable's file name without its extension: the caption of
// the message dialogs and the name of the desktop shortcut.
std::string ExecutableBaseName();

}  // namespace lk
