#pragma once
// A bounds-checked little-endian reader over a byte block. Every read that
// would run past the block throws RangeError naming the block, the field,
// the offset and the sizes, so a damaged package is reported, never read
// beyond.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/text.h"

namespace lk {

class ByteReader {
 public:
  // `block` names the data in messages ("品牌数据", "皮肤数据", ...).
  ByteReader(Bytes data, std::string_view block) : data_(data), block_(block) {}

  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return data_.size() - pos_; }

  Bytes Take(std::size_t n, std::string_view what) {
    if (n > remaining())
      throw RangeError(std::string(block_) + "损坏: " + std::string(what) + " 在偏移 " +
                       std::to_string(pos_) + " 处需要 " + std::to_string(n) + " 字节, 但" +
                       std::string(block_) + "只有 " + std::to_string(data_.size()) + " 字节");
    const Bytes out = data_.subspan(pos_, n);
    pos_ += n;
    return out;
  }
  void Skip(std::size_t n, std::string_view what) { Take(n, what); }

  std::uint8_t U8(std::string_view what) { return Take(1, what)[0]; }
  std::uint16_t U16(std::string_view what) {
    const Bytes b = Take(2, what);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
  }
  std::uint32_t U32(std::string_view what) {
    const Bytes b = Take(4, what);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
  }
  std::int32_t I32(std::string_view what) { return static_cast<std::int32_t>(U32(what)); }

  // 1 byte n, then n bytes.
  Bytes LengthPrefixed8(std::string_view what) { return Take(U8(what), what); }
  // 32-bit signed n, then n bytes; a negative n is an error.
  Bytes LengthPrefixed32(std::string_view what) {
    const std::int32_t n = I32(what);
    if (n < 0)
      throw RangeError(std::string(block_) + "损坏: " + std::string(what) + " 的长度 " + std::to_string(n) +
                       " 为负数");
    return Take(static_cast<std::size_t>(n), what);
  }

 private:
  Bytes data_;
  std::string_view block_;
  std::size_t pos_ = 0;
};

}  // namespace lk
