#include "platform/handles.h"

#include <cstdio>

#include "platform/error.h"
#include "platform/text.h"

namespace lk {
namespace {

// The one FormatMessageW call: the text, or empty when there is none.
std::string LookUpErrorText(DWORD code, HMODULE module) {
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  if (module) flags |= FORMAT_MESSAGE_FROM_HMODULE;
  UniqueLocal<wchar_t*> buffer;
  const DWORD n =
      FormatMessageW(flags, module, code, 0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
  std::wstring_view text = n && buffer ? std::wstring_view(buffer.get(), n) : std::wstring_view();
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.remove_suffix(1);
  return Narrow(text);
}

}  // namespace

std::string SystemErrorText(DWORD code, HMODULE module) {
  std::string text = LookUpErrorText(code, module);
  if (!text.empty()) return text;
  if (code & 0x80000000u) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
    return std::string("System error ") + hex;
  }
  return "System error " + std::to_string(code);
}

bool HasSystemErrorText(DWORD code, HMODULE module) { return !LookUpErrorText(code, module).empty(); }

void ThrowSystemError(DWORD code, std::string_view context) {
  std::string message = SystemErrorText(code);
  if (!context.empty()) message = std::string(context) + ": " + message;
  throw Error(message);
}

void ThrowLastError(std::string_view context) { ThrowSystemError(GetLastError(), context); }

void ThrowIfFailed(HRESULT hr, std::string_view context) {
  if (FAILED(hr)) ThrowSystemError(static_cast<DWORD>(hr), context);
}

UniqueBstr MakeBstr(std::string_view utf8) {
  const std::wstring text = Wide(utf8);
  UniqueBstr b(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
  if (!b) ThrowIfFailed(E_OUTOFMEMORY);
  return b;
}

std::string Utf8FromBstr(BSTR b) { return b ? Narrow(std::wstring_view(b, SysStringLen(b))) : std::string(); }

ComInit::ComInit(Apartment apartment)
    : apartment_(apartment),
      hr_(apartment == kOle
              ? ::OleInitialize(nullptr)
              : ::CoInitializeEx(nullptr, apartment == kMultiThreaded ? COINIT_MULTITHREADED
                                                                      : COINIT_APARTMENTTHREADED)) {}

ComInit::~ComInit() {
  if (FAILED(hr_)) return;
  if (apartment_ == kOle)
    ::OleUninitialize();
  else
    ::CoUninitialize();
}

}  // namespace lk
