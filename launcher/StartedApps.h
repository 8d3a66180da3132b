#pragma once
// The clients the start button launched, so that closing the launcher ends
// them again. The list lives in memory only and only grows.
#include <string>
#include <string_view>
#include <vector>

namespace lk {

// Entries "<file name> - <full path>", in the order of addition.
using TStartedApps = std::vector<std::string>;

// The file name an entry stands for: the text after the last path separator
// of the whole entry, i.e. the file-name part of its path.
std::string StartedAppFileName(std::string_view entry);

// Appends AppName + " - " + AppPath unless an entry for the same file name
// (letter case ignored) is already there; the first path stays.
void AddToStartedApps(TStartedApps& StartedApps, const std::string& AppName, const std::string& AppPath);

// Ends every running process whose executable file name equals the file name
// of an entry, letter case ignored as file names are on Windows. A process
// whose name merely contains a recorded name (mygame.exe for game.exe) is
// not the launcher's and keeps running; the launcher's own process is never
// ended. Silent: processes that cannot be opened or ended are skipped, and
// nothing waits for the ended ones. Returns how many terminations succeeded.
int CloseAllStartedApps(const TStartedApps& StartedApps);

}  // namespace lk
