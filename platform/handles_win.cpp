#include "platform/handles.h"

#include "platform/error.h"
#include "platform/text.h"

namespace lk {

std::string SystemErrorText(DWORD code) {
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::wstring text = n ? std::wstring(buf, n) : std::wstring();
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  if (text.empty()) return "System error " + std::to_string(code);
  return Narrow(text);
}

void ThrowSystemError(DWORD code) { throw Error(SystemErrorText(code)); }

void ThrowLastError() { ThrowSystemError(GetLastError()); }

}  // namespace lk
