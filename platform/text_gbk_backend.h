#pragma once
// The one primitive each platform supplies for code page 936.
#include <string>
#include <string_view>

#include "platform/text.h"

namespace lk::gbk {

// Converts the whole run or nothing: false when any byte sequence in it is
// not a mapped GBK character.
bool DecodeStrict(Bytes bytes, std::string& utf8);

// Converts the whole text or throws EncodingError naming the first
// character that has no GBK form.
std::string EncodeStrict(std::string_view utf8);

}  // namespace lk::gbk
