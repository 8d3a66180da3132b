// Code page 936 and the UTF-16 edge on Windows.
#include <windows.h>

#include "platform/error.h"
#include "platform/text_gbk_backend.h"

namespace lk {

std::wstring Wide(std::string_view utf8) {
  const std::u16string u16 = Utf8ToUtf16(utf8);
  return std::wstring(u16.begin(), u16.end());
}

std::string Narrow(std::wstring_view utf16) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()));
}

namespace gbk {

bool DecodeStrict(Bytes bytes, std::string& utf8) {
  if (bytes.empty()) {
    utf8.clear();
    return true;
  }
  const char* src = reinterpret_cast<const char*>(bytes.data());
  const int n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, src, static_cast<int>(bytes.size()),
                                    nullptr, 0);
  if (n <= 0) return false;
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, src, static_cast<int>(bytes.size()), w.data(),
                          n) != n)
    return false;
  utf8 = Narrow(w);
  return true;
}

std::string EncodeStrict(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) throw EncodingError(kNoMappingMessage);
  if (utf8.empty()) return {};
  const std::wstring w = Wide(utf8);
  std::string out;
  // One character at a time only when the whole text fails, to name it.
  auto convert = [](std::wstring_view part, std::string& dst) {
    BOOL used_default = FALSE;
    const int n = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, part.data(), static_cast<int>(part.size()),
                                      nullptr, 0, nullptr, &used_default);
    if (n <= 0 || used_default) return false;
    dst.assign(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, part.data(), static_cast<int>(part.size()), dst.data(),
                        n, nullptr, &used_default);
    return !used_default;
  };
  if (convert(w, out)) return out;
  for (std::size_t i = 0; i < w.size(); ++i) {
    const std::size_t len = (w[i] >= 0xD800 && w[i] <= 0xDBFF && i + 1 < w.size()) ? 2 : 1;
    std::string one;
    if (!convert(std::wstring_view(w).substr(i, len), one))
      throw EncodingError("'" + Narrow(std::wstring_view(w).substr(i, len)) +
                          "' cannot be written in code page 936");
    i += len - 1;
  }
  throw EncodingError(kNoMappingMessage);
}

}  // namespace gbk

std::string Utf8ToGbk(std::string_view text) { return gbk::EncodeStrict(text); }

}  // namespace lk
