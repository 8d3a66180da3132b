#include "core/remote_tools.h"

namespace lk {

std::string RemoteToolFullPath(std::string_view launcherFolder, std::string_view toolPath) {
  std::string result(launcherFolder);
  for (std::size_t i = 0; i < toolPath.size();) {
    if (toolPath.compare(i, 2, ".\\") == 0) {
      i += 2;
    } else {
      result += toolPath[i++];
    }
  }
  return result;
}

}  // namespace lk
