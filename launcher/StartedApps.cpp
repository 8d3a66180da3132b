#include "launcher/StartedApps.h"

#include "platform/path_text.h"
#include "platform/processes.h"

namespace lk {

std::string StartedAppFileName(std::string_view entry) { return ExtractFileName(entry); }

void AddToStartedApps(TStartedApps& StartedApps, const std::string& AppName, const std::string& AppPath) {
  for (const std::string& entry : StartedApps)
    if (SameFileName(StartedAppFileName(entry), AppName)) return;
  StartedApps.push_back(AppName + " - " + AppPath);
}

int CloseAllStartedApps(const TStartedApps& StartedApps) {
  if (StartedApps.empty()) return 0;
  std::vector<std::string> names;
  names.reserve(StartedApps.size());
  for (const std::string& entry : StartedApps) names.push_back(StartedAppFileName(entry));

  const std::uint32_t self = OwnProcessId();
  int ended = 0;
  for (const RunningProcess& process : RunningProcesses()) {
    if (process.id == self) continue;
    for (const std::string& name : names) {
      if (SameFileName(process.exeFile, name)) {
        if (EndProcess(process.id)) ++ended;
        break;  // one termination per process is enough
      }
    }
  }
  return ended;
}

}  // namespace lk
