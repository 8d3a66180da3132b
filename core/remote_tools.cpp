#include "core/remote_tools.h"

#include "platform/path_text.h"

namespace lk {

std::string RemoteToolFullPath(std::string_view launcherFolder, std::string_view toolPath) {
  return std::string(launcherFolder) + RemoveDotBackslash(toolPath);
}

}  // namespace lk
