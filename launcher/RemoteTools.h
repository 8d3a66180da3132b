#pragma once
// The tools menu's two entries: each opens its remote-assistance tool below
// the launcher folder.
#include <string>

namespace lk {

// Opens launcherFolder + toolPath (every ".\\" removed) with the shell. The
// file is not checked first and nothing is reported.
void OpenRemoteTool(const std::string& launcherFolder, const std::string& toolPath);

}  // namespace lk
