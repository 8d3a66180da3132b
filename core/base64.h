#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace lk {

// Standard alphabet. Every character outside it ("=", blanks, line breaks,
// anything else) is skipped; a final group of two or three characters gives
// one or two bytes, a single leftover character none. Never fails.
std::vector<std::uint8_t> DecodeBase64Lenient(std::string_view text);

// Standard alphabet, for armoured key files: blanks, tabs and line breaks
// are skipped; everything else must form whole groups of four, "=" padding
// only in the last group, and the unused bits of a padded group zero (so one
// text has one decoding and one byte string one text). Empty when the text
// breaks a rule.
std::optional<std::vector<std::uint8_t>> DecodeBase64Strict(std::string_view text);

// Standard alphabet with "=" padding, no line breaks.
std::string EncodeBase64(Bytes data);

}  // namespace lk
