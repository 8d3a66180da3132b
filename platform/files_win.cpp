#include "platform/files.h"

#include <windows.h>

#include "platform/error.h"
#include "platform/handles.h"
#include "platform/text.h"

namespace lk {

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadWholeFile(const std::string& path) {
  UniqueFile file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw Error(SystemErrorText(GetLastError()));
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) throw Error(SystemErrorText(GetLastError()));
  if (size.QuadPart > 0x7FFFFFFF) throw RangeError("File too large: " + path);
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr))
      throw Error(SystemErrorText(GetLastError()));
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace lk
