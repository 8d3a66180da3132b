#include "platform/self_path.h"

#include <windows.h>

#include "platform/handles.h"
#include "platform/path_text.h"
#include "platform/text.h"

namespace lk {

std::string OwnExecutablePath() {
  // GetModuleFileNameW cuts long paths silently; grow until it fits.
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) ThrowLastError();
    if (n < buf.size()) return Narrow(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

std::string LauncherFolder() { return ExtractFileFolder(OwnExecutablePath()); }

std::string ExecutableBaseName() { return FileNameWithoutExtension(OwnExecutablePath()); }

}  // namespace lk
