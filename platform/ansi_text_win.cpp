#include "platform/ansi_text.h"

#include <windows.h>

#include "platform/text.h"

namespace lk {

std::string Utf8ToAnsi(std::string_view utf8) {
  const std::wstring w = Wide(utf8);
  if (w.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string SettingsTextToUtf8(std::string_view bytes) {
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (starts("\xEF\xBB\xBF")) return Utf16ToUtf8(Utf8ToUtf16(bytes.substr(3)));
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    const bool bigEndian = bytes[0] == '\xFE';
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
      const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
      units.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    return Utf16ToUtf8(units);
  }
  if (bytes.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
  return Narrow(w);
}

}  // namespace lk
