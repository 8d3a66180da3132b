#include "platform/files.h"

namespace lk {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  if (last == '/' || last == kPathSeparator) return folder + name;
  return folder + kPathSeparator + name;
}

}  // namespace lk
