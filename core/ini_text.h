#pragma once
// Reading one value from INI-style text held in memory (a small settings
// file read whole, such as Shield.rc).
#include <string>
#include <string_view>

namespace lk {

// Looks up key in section of UTF-8 INI text. Lines end in "\n" or "\r\n" and
// are trimmed of blanks and tabs; empty lines and lines beginning with ';'
// are skipped; "[name]" opens a section; "key=value" splits at the first
// '='. Names and values are trimmed, values are taken as they stand (quotes
// stay). Section and key names match ignoring ASCII letter case; the first
// match in the text wins. Lines before the first section belong to none.
// Returns fallback when the section or the key is missing.
std::string ReadIniText(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view fallback);

}  // namespace lk
