#pragma once
// The number rules of the configuration formats: optional leading spaces,
// an optional sign, then decimal digits or hexadecimal digits after "$",
// "x", "X", "0x" or "0X", and nothing after the digits.
#include <cstdint>
#include <optional>
#include <string_view>

namespace lk {

// The value the text denotes, or nothing when the text breaks the rule or
// the value does not fit in 64 bits.
std::optional<std::int64_t> ParseNumberText(std::string_view text);

// Throw ConversionError("'<text>' is not a valid integer value") when the
// text breaks the rule or the value lies outside the type's range.
std::int32_t ParseSignedInt32(std::string_view text);
std::uint32_t ParseUnsignedInt32(std::string_view text);

std::optional<std::int32_t> TryParseSignedInt32(std::string_view text);

}  // namespace lk
