#include "launcher/Startup.h"

#include <windows.h>

#include "platform/error.h"
#include "platform/handles.h"
#include "platform/text.h"

namespace lk {

std::vector<std::uint8_t> ExeImage;
TLoginInfo LoginInfo;
TGraphicInfo GraphicInfo;
TUpdateKey UpdateKey;

std::vector<std::uint8_t> ReadLauncherFile(const std::string& path) {
  auto fail = [&](DWORD code) -> Error { return Error(path + "无法读取: " + SystemErrorText(code)); };
  UniqueFile file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw fail(GetLastError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) throw fail(GetLastError());
  // The package offset is a 32-bit number: a larger file cannot be ours.
  if (size.QuadPart > 0x7FFFFFFF) throw fail(ERROR_FILE_TOO_LARGE);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  // One read normally; a short read (the file shrank under us) ends the
  // image where the file ended rather than leaving zeros in it.
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr))
      throw fail(GetLastError());
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

std::string ApplicationTitle() {
  try {
    return ExecutableBaseName();
  } catch (const Error&) {
    return "Launcher";
  }
}

void ShowMessageDialog(const std::string& text) {
  MessageBoxW(GetActiveWindow(), Wide(text).c_str(), Wide(ApplicationTitle()).c_str(), MB_OK | MB_TASKMODAL);
}

}  // namespace lk
