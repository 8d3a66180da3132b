#pragma once
// Contents that tests write into files, archives and bodies: a long text
// that compresses (CJK and ASCII), every byte value once, and UTF-16 texts
// in either byte order, as other programs save them.
#include <string>
#include <string_view>

#include "platform/text.h"

namespace lk::test {

inline std::string LongText() {
  std::string s;
  for (int i = 0; i < 400; ++i) s += "更新文件 update data line\n";
  return s;
}

inline std::string AllBytes() {
  std::string s;
  for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
  return s;
}

// The UTF-8 text in UTF-16, little or big endian, with a byte order mark
// in front when asked.
inline std::string Utf16Le(std::string_view utf8, bool bom = false) {
  std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
  for (const char16_t u : Utf8ToUtf16(utf8)) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

inline std::string Utf16Be(std::string_view utf8, bool bom = false) {
  std::string out = bom ? std::string("\xFE\xFF", 2) : std::string();
  for (const char16_t u : Utf8ToUtf16(utf8)) {
    out += static_cast<char>(u >> 8);
    out += static_cast<char>(u & 0xFF);
  }
  return out;
}

}  // namespace lk::test
