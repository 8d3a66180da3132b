#include "core/number_rules.h"

#include <limits>
#include <string>

#include "platform/error.h"

namespace lk {
namespace {

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

[[noreturn]] void ThrowNotInteger(std::string_view text) {
  throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
}

}  // namespace

std::optional<std::int64_t> ParseNumberText(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;  // no digits

  // Magnitudes up to 2^63 are tracked exactly; anything larger cannot be a
  // 32-bit value under any rule, so it is simply refused.
  constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int d = DigitValue(text[i], base);
    if (d < 0) return std::nullopt;
    magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    if (magnitude > kLimit) return std::nullopt;
  }
  if (!negative && magnitude == kLimit) return std::nullopt;
  if (negative) return magnitude == kLimit ? std::numeric_limits<std::int64_t>::min()
                                           : -static_cast<std::int64_t>(magnitude);
  return static_cast<std::int64_t>(magnitude);
}

std::optional<std::int32_t> TryParseSignedInt32(std::string_view text) {
  const auto v = ParseNumberText(text);
  if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(*v);
}

std::int32_t ParseSignedInt32(std::string_view text) {
  const auto v = TryParseSignedInt32(text);
  if (!v) ThrowNotInteger(text);
  return *v;
}

std::uint32_t ParseUnsignedInt32(std::string_view text) {
  const auto v = ParseNumberText(text);
  if (!v || *v < 0 || *v > std::numeric_limits<std::uint32_t>::max()) ThrowNotInteger(text);
  return static_cast<std::uint32_t>(*v);
}

}  // namespace lk
