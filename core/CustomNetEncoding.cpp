#include "core/CustomNetEncoding.h"

#include <string>

#include "core/base64.h"
#include "platform/error.h"
#include "platform/sha256.h"

namespace lk {
namespace {
constexpr std::size_t kBlock = 16;
}

std::vector<std::uint8_t> ChainingVector(std::string_view vectorText) {
  const Sha256Digest d = ComputeSha256(AsBytes(vectorText));
  return std::vector<std::uint8_t>(d.begin(), d.begin() + kBlock);
}

std::vector<std::uint8_t> XorChainBlocks(Bytes data, Bytes vector) {
  if (vector.size() != kBlock) throw RangeError("The chaining vector must be 16 bytes long");
  std::vector<std::uint8_t> out(data.size(), 0);
  Bytes previous = vector;
  for (std::size_t b = 0; b < data.size() / kBlock; ++b) {
    const Bytes block = data.subspan(b * kBlock, kBlock);
    for (std::size_t i = 0; i < kBlock; ++i) out[b * kBlock + i] = block[i] ^ previous[i];
    previous = block;
  }
  return out;
}

std::vector<std::uint8_t> RemoveTrailingCount(Bytes data) {
  if (data.empty()) return {};
  const std::size_t k = data.back();
  if (k > data.size())
    throw RangeError("Trailing count " + std::to_string(k) + " is larger than the data (" +
                     std::to_string(data.size()) + " bytes)");
  return std::vector<std::uint8_t>(data.begin(), data.end() - static_cast<std::ptrdiff_t>(k));
}

std::string DecodeScrambledValue(std::string_view input, std::string_view keyText,
                                 std::string_view vectorText) {
  (void)keyText;  // takes no part in the scheme
  const std::vector<std::uint8_t> data = DecodeBase64Lenient(input);
  if (data.empty()) return {};
  const std::vector<std::uint8_t> vector = ChainingVector(vectorText);
  const std::vector<std::uint8_t> plain = XorChainBlocks(data, vector);
  const std::vector<std::uint8_t> trimmed = RemoveTrailingCount(plain);
  return DecodeUtf8Strict(trimmed);
}

std::string EncodeScrambledValue(std::string_view text, std::string_view vectorText) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  const std::size_t pad = kBlock - data.size() % kBlock;  // 1..16
  data.insert(data.end(), pad, static_cast<std::uint8_t>(pad));
  const std::vector<std::uint8_t> vector = ChainingVector(vectorText);
  std::vector<std::uint8_t> chained(data.size());
  for (std::size_t b = 0; b < data.size() / kBlock; ++b) {
    for (std::size_t i = 0; i < kBlock; ++i) {
      const std::uint8_t prev = b == 0 ? vector[i] : chained[(b - 1) * kBlock + i];
      chained[b * kBlock + i] = data[b * kBlock + i] ^ prev;
    }
  }
  return EncodeBase64(chained);
}

}  // namespace lk
