// Zone entries and the number rules: decoded configuration text is outside
// input; parsing must end in a record or one of our errors.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/configuration_rules.h"
#include "core/number_rules.h"
#include "core/text_split.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  try {
    lk::PersonInfoFromEntry(input);
  } catch (const lk::Error&) {
  }
  const auto v = lk::ParseNumberText(input);
  const auto s = lk::TryParseSignedInt32(input);
  if (s && (!v || *v != *s)) std::abort();
  // Joining unquoted fields without delimiters must never give back more
  // characters than the input had.
  std::size_t total = 0;
  for (const std::string& f : lk::SplitDelimitedStrict(input)) total += f.size();
  if (total > input.size()) std::abort();
  return 0;
}
