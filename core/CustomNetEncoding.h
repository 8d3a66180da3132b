#pragma once
// Scrambled values of the launcher configuration file: Base64 of 16-byte
// blocks chained by exclusive-or with the previous block (the first with a
// vector derived from a text), padded with a trailing count. There is no
// cipher step; the key text takes no part in the result.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace lk {

// The text the configuration load passes as both key and vector text.
inline constexpr std::string_view ChainVectorK7q29 = "ChainVectorK7q29";

// Throws RangeError when the trailing count exceeds the data and
// EncodingError(kNoMappingMessage) when the remaining bytes are not UTF-8.
// A value that yields no bytes at all (empty or missing) is the empty text.
std::string DecodeScrambledValue(std::string_view input, std::string_view keyText,
                                 std::string_view vectorText);

// Block b of the result is block b of data xor the previous input block
// (block 0: xor vector). Bytes after the last whole block come out zero.
std::vector<std::uint8_t> XorChainBlocks(Bytes data, Bytes vector);

// Drops as many bytes from the end as the last byte says.
std::vector<std::uint8_t> RemoveTrailingCount(Bytes data);

// The first 16 bytes of SHA-256 over the UTF-8 bytes of the vector text.
std::vector<std::uint8_t> ChainingVector(std::string_view vectorText);

// The inverse: a scrambled value that DecodeScrambledValue turns back into
// text. The padding is 1..16 bytes, each holding the padding length.
std::string EncodeScrambledValue(std::string_view text, std::string_view vectorText);

}  // namespace lk
