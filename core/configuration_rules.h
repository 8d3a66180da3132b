#pragma once
// Pure rules of the launcher configuration file.
#include <string>
#include <string_view>

#include "core/logininfo.h"

namespace lk {

// The launcher's own path with every ".exe" replaced by ".inf" (letter case
// matched exactly, anywhere in the path).
std::string ConfigurationFileName(std::string_view launcherPath);

// The ten "|"-separated fields of a decoded zone entry, in entry order.
inline constexpr int kZoneFieldCount = 10;

// Fills a record from a decoded entry, field by field in entry order. A
// missing field throws RangeError, a bad number ConversionError; fields
// beyond the tenth are ignored.
TPersonInfo PersonInfoFromEntry(std::string_view decodedEntry);

// The inverse, for tools: the entry text of a record. Throws Error when a
// text field holds "|" or starts with a quote, which would not read back.
std::string EntryFromPersonInfo(const TPersonInfo& info);

}  // namespace lk
