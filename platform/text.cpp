// Portable UTF-8 / UTF-16 conversion and the GBK scanning that both GBK
// backends share.
#include "platform/text.h"

#include "platform/error.h"
#include "platform/text_gbk_backend.h"

namespace lk {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one well-formed UTF-8 sequence at s[i]; returns its length, or 0
// when the bytes there are not well-formed.
std::size_t DecodeOne(Bytes s, std::size_t i, char32_t& cp) {
  const std::uint8_t b0 = s[i];
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  std::size_t len;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() - i < len) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const std::uint8_t b = s[i + k];
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  const Bytes b = AsBytes(text);
  char32_t cp;
  for (std::size_t i = 0; i < b.size();) {
    const std::size_t n = DecodeOne(b, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string DecodeUtf8Strict(Bytes bytes) {
  std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!IsValidUtf8(text)) throw EncodingError(kNoMappingMessage);
  return text;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  const Bytes b = AsBytes(text);
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < b.size();) {
    char32_t cp;
    std::size_t n = DecodeOne(b, i, cp);
    if (n == 0) {
      cp = kReplacement;
      n = 1;
    }
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::string GbkToUtf8(Bytes bytes) {
  if (bytes.empty()) return {};
  std::string out;
  // Fast path: the whole run is valid GBK.
  if (!gbk::DecodeStrict(bytes, out)) {
    // Walk the run character by character as GBK frames them (a lead byte
    // 0x81..0xFE takes a trail byte 0x40..0xFE other than 0x7F), so that a
    // bad byte costs one replacement character and the rest still decodes.
    out.clear();
    for (std::size_t i = 0; i < bytes.size();) {
      std::size_t n = 1;
      const std::uint8_t b = bytes[i];
      if (b >= 0x81 && b <= 0xFE && i + 1 < bytes.size()) {
        const std::uint8_t t = bytes[i + 1];
        if (t >= 0x40 && t <= 0xFE && t != 0x7F) n = 2;
      }
      std::string one;
      if (gbk::DecodeStrict(bytes.subspan(i, n), one))
        out += one;
      else
        AppendUtf8(out, kReplacement);
      i += n;
    }
  }
  if (out.empty()) throw EncodingError(kNoMappingMessage);
  return out;
}

}  // namespace lk
