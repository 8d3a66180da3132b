#include "platform/shell_open.h"

#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>

#include "platform/text.h"

namespace lk {

void ShellOpen(const std::string& path) {
  ShellExecuteW(nullptr, L"open", Wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace lk
