#include "launcher/RemoteTools.h"

#include "core/remote_tools.h"
#include "platform/shell_open.h"

namespace lk {

void OpenRemoteTool(const std::string& launcherFolder, const std::string& toolPath) {
  ShellOpen(RemoteToolFullPath(launcherFolder, toolPath));
}

}  // namespace lk
