// Scrambled values come from a file anyone can edit: decoding must either
// give a valid UTF-8 text or throw one of our errors, never misbehave.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/CustomNetEncoding.h"
#include "platform/error.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  try {
    const std::string text = lk::DecodeScrambledValue(input, lk::ChainVectorK7q29, lk::ChainVectorK7q29);
    if (!lk::IsValidUtf8(text)) std::abort();
  } catch (const lk::Error&) {
  }
  // Whatever text we can encode must come back unchanged.
  if (lk::IsValidUtf8(input) &&
      lk::DecodeScrambledValue(lk::EncodeScrambledValue(input, lk::ChainVectorK7q29), "",
                               lk::ChainVectorK7q29) != input)
    std::abort();
  return 0;
}
