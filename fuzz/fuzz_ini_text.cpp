// Settings files read whole into memory are outside input: any bytes must
// give a value or the fallback, never a read outside the text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/ini_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string value = lk::ReadIniText(input, "Res", "Keys", "Default");
  // A value found comes from one line of the input.
  if (value != "Default" && value.size() > input.size()) std::abort();
  if (value.find('\n') != std::string::npos) std::abort();
  return 0;
}
