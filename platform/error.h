#pragma once
// Error types shared by every layer. The message is the exact text the
// player or operator sees, in UTF-8.
#include <stdexcept>
#include <string>

namespace lk {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Bytes that do not map to characters in the expected encoding.
class EncodingError : public Error {
 public:
  using Error::Error;
};

// A text that is not a number by the number rules.
class ConversionError : public Error {
 public:
  using Error::Error;
};

// An index, count or length outside its data.
class RangeError : public Error {
 public:
  using Error::Error;
};

inline constexpr const char* kNoMappingMessage =
    "No mapping for the Unicode character exists in the target multi-byte code page";

}  // namespace lk
