#include <windows.h>

#include <optional>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/private_file.h"

namespace lk {
namespace {

// OutFile creates with CREATE_NEW: an existing file makes it fail.
// Once it is ours, a failed write removes it (after closing it: Windows
// does not delete an open file).
void WriteNew(const std::string& path, std::string_view bytes) {
  std::optional<OutFile> out;
  out.emplace(path);
  try {
    out->Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    out->Close();
  } catch (const Error&) {
    out.reset();
    RemoveFile(path);
    throw;
  }
}

}  // namespace

void WritePrivateFile(const std::string& path, std::string_view bytes, bool replace) {
  if (!replace) {
    WriteNew(path, bytes);
    return;
  }
  const std::string temp = path + ".new-" + std::to_string(GetCurrentProcessId());
  RemoveFile(temp);
  WriteNew(temp, bytes);
  try {
    MoveReplacing(temp, path);
  } catch (const Error&) {
    RemoveFile(temp);
    throw;
  }
}

}  // namespace lk
