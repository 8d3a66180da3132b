#pragma once
// The system's ANSI code page (936 on a Chinese system), for texts that
// outside libraries take as 8-bit strings and for settings files written
// without a byte-order mark.
#include <string>
#include <string_view>

namespace lk {

// UTF-8 to the ANSI code page; characters the code page lacks become the
// system's default character ('?').
std::string Utf8ToAnsi(std::string_view utf8);

// A text file's bytes to UTF-8 by its byte-order mark: UTF-8, UTF-16 LE or
// BE; without a mark the bytes are in the ANSI code page.
std::string SettingsTextToUtf8(std::string_view bytes);

}  // namespace lk
