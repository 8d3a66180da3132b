#pragma once
// ASCII letter case: the rule of every comparison of names that the formats
// and Windows treat as case-blind in ASCII only (INI sections and keys,
// file extensions, process names). Bytes outside A-Z, UTF-8 sequences
// included, stay as they are.
#include <string>
#include <string_view>

namespace lk {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiLowered(std::string_view text);

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace lk
