#include "platform/files.h"

#include "platform/error.h"

namespace lk {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  if (last == '/' || last == kPathSeparator) return folder + name;
  return folder + kPathSeparator + name;
}

std::string ReadWholeFile(const std::string& path) {
  InFile file(path);
  const std::uint64_t size = file.Size();
  if (size > 0x7FFFFFFF) throw RangeError("File too large: " + path);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t got =
        file.Read(reinterpret_cast<std::uint8_t*>(bytes.data()) + done, bytes.size() - done);
    if (got == 0) break;  // the file shrank meanwhile: what is there is what we have
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace lk
