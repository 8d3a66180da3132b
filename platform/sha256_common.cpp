#include "platform/sha256.h"

namespace lk {

Sha256Digest ComputeSha256(Bytes data) {
  Sha256 h;
  h.Update(data);
  return h.Final();
}

std::string ToLowerHex(Bytes data) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(data.size() * 2);
  for (std::uint8_t b : data) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

}  // namespace lk
