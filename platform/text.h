#pragma once
// Text conversions. Inside the programs every text is UTF-8 in std::string;
// UTF-16 appears only at Win32 calls, code page 936 (GBK) only where a file
// format says so.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lk {

using Bytes = std::span<const std::uint8_t>;

// Accepts the bytes only when they are well-formed UTF-8 (no overlong forms,
// no surrogates, nothing above U+10FFFF); otherwise throws EncodingError
// with kNoMappingMessage.
std::string DecodeUtf8Strict(Bytes bytes);
bool IsValidUtf8(std::string_view text);

// Lenient: an ill-formed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Lenient: a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Code page 936. Bytes that are not valid GBK become U+FFFD; only a non-empty
// run that yields no character at all throws EncodingError(kNoMappingMessage).
std::string GbkToUtf8(Bytes bytes);
inline std::string GbkToUtf8(std::string_view bytes) {
  return GbkToUtf8(Bytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}
// Strict: a character that code page 936 cannot represent throws
// EncodingError naming it, so a tool never writes a silently altered text.
std::string Utf8ToGbk(std::string_view text);

inline Bytes AsBytes(std::string_view s) {
  return Bytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

#ifdef _WIN32
// At the Win32 edge wchar_t is UTF-16.
std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
#endif

}  // namespace lk
