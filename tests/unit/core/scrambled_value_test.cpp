#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CustomNetEncoding.h"
#include "core/base64.h"
#include "platform/error.h"

namespace lk {
namespace {

using ByteVec = std::vector<std::uint8_t>;

ByteVec ToBytes(std::string_view s) { return ByteVec(s.begin(), s.end()); }

// Chains arbitrary unchained bytes (no padding added) so a test can state
// exactly what the decoder sees after unchaining.
std::string ScrambleRaw(const ByteVec& plain) {
  const ByteVec v = ChainingVector(ChainVectorK7q29);
  ByteVec chained(plain.size(), 0);
  for (std::size_t i = 0; i < plain.size() / 16 * 16; ++i)
    chained[i] = plain[i] ^ (i < 16 ? v[i] : chained[i - 16]);
  // Bytes past the last whole block are ignored by the decoder; any value.
  for (std::size_t i = plain.size() / 16 * 16; i < plain.size(); ++i) chained[i] = 0xAB;
  return EncodeBase64(chained);
}

std::string Decode(std::string_view input) {
  return DecodeScrambledValue(input, ChainVectorK7q29, ChainVectorK7q29);
}

TEST(ChainingVector, IsTheFirstHalfOfSha256OfTheText) {
  // SHA-256("abc") = ba7816bf 8f01cfea 414140de 5dae2223 ...
  EXPECT_EQ(ChainingVector("abc"), (ByteVec{0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41,
                                            0x41, 0x40, 0xde, 0x5d, 0xae, 0x22, 0x23}));
}

TEST(XorChainBlocks, UnchainsWithThePreviousInputBlock) {
  ByteVec v(16), d(40);
  for (int i = 0; i < 16; ++i) v[i] = static_cast<std::uint8_t>(i * 3);
  for (int i = 0; i < 40; ++i) d[i] = static_cast<std::uint8_t>(200 - i);
  const ByteVec r = XorChainBlocks(d, v);
  ASSERT_EQ(r.size(), 40u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r[i], d[i] ^ v[i]) << i;
  for (int i = 16; i < 32; ++i) EXPECT_EQ(r[i], d[i] ^ d[i - 16]) << i;
  for (int i = 32; i < 40; ++i) EXPECT_EQ(r[i], 0) << "partial block byte " << i;
  EXPECT_TRUE(XorChainBlocks({}, v).empty());
  EXPECT_THROW(XorChainBlocks(d, ByteVec(15)), RangeError);
}

TEST(RemoveTrailingCount, Table) {
  const struct {
    ByteVec in;
    std::optional<ByteVec> out;  // nullopt: range error
  } cases[] = {
      {{'a', 'b', 2}, ByteVec{'a'}},
      {{'a', 'b', 0}, ByteVec{'a', 'b', 0}},
      {{'a', 'b', 3}, ByteVec{}},
      {{'a', 'b', 4}, std::nullopt},
      {{1}, ByteVec{}},
      {{}, ByteVec{}},
      {{9, 9, 9, 1}, ByteVec{9, 9, 9}},  // only the last byte counts
  };
  for (const auto& c : cases) {
    if (c.out)
      EXPECT_EQ(RemoveTrailingCount(c.in), *c.out);
    else
      EXPECT_THROW(RemoveTrailingCount(c.in), RangeError);
  }
}

TEST(DecodeScrambledValue, RoundTripsTexts) {
  const std::string texts[] = {
      "",
      "a",
      "电信一区|风云再起|风云|127.0.0.1|7000|7100|1|ch|9|bin\\game.exe",
      "exactly16bytes!!",
      "a=b\r\nline two",
      std::string(3000, 'x'),
      "混合 Mixed ✓ 𠀋",
  };
  for (const std::string& t : texts) {
    const std::string s = EncodeScrambledValue(t, ChainVectorK7q29);
    EXPECT_EQ(s.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    EXPECT_EQ(Decode(s), t);
  }
}

TEST(DecodeScrambledValue, SkipsCharactersOutsideTheAlphabet) {
  const std::string s = EncodeScrambledValue("网通二区", ChainVectorK7q29);
  std::string noisy;
  for (std::size_t i = 0; i < s.size(); ++i) {
    noisy += s[i];
    if (i % 3 == 0) noisy += " \r\n=\t";
  }
  noisy += "é";  // non-ASCII is skipped too
  EXPECT_EQ(Decode(noisy), "网通二区");
}

TEST(DecodeScrambledValue, KeyTextTakesNoPart) {
  const std::string s = EncodeScrambledValue("zone", ChainVectorK7q29);
  EXPECT_EQ(DecodeScrambledValue(s, "another key entirely", ChainVectorK7q29), "zone");
  // The vector text does take part: another one gives another result or
  // no text at all.
  std::string other;
  try {
    other = DecodeScrambledValue(s, ChainVectorK7q29, "OtherVector00000");
  } catch (const Error&) {
    other = "(error)";
  }
  EXPECT_NE(other, "zone");
}

TEST(DecodeScrambledValue, EdgeCasesOfTheTrailingCount) {
  // Last byte 16 on 16 bytes: everything goes.
  ByteVec p = ToBytes("fifteen bytes!!");
  p.push_back(16);
  EXPECT_EQ(Decode(ScrambleRaw(p)), "");

  // Last byte 0: nothing is removed, the text ends with U+0000.
  p = ToBytes("fifteen bytes!!");
  p.push_back(0);
  EXPECT_EQ(Decode(ScrambleRaw(p)), std::string("fifteen bytes!!\0", 16));

  // 20 decoded bytes: the 4 past the whole block come out zero, count 0.
  p = ToBytes("sixteen bytes!!!abcd");
  EXPECT_EQ(Decode(ScrambleRaw(p)), std::string("sixteen bytes!!!\0\0\0\0", 20));

  // 32 bytes ending in 33: range error, no partial text.
  p = ByteVec(31, 'x');
  p.push_back(33);
  EXPECT_THROW(Decode(ScrambleRaw(p)), RangeError);
}

TEST(DecodeScrambledValue, TrimmedBytesMustBeUtf8) {
  ByteVec p = ToBytes("ok");
  p.push_back(0xFF);
  p.resize(16, 13);  // count 13 leaves "ok" + 0xFF
  try {
    Decode(ScrambleRaw(p));
    FAIL() << "no error";
  } catch (const EncodingError& e) {
    EXPECT_STREQ(e.what(), kNoMappingMessage);
  }

  p = ToBytes("中");  // E4 B8 AD
  p.resize(16, 13);
  EXPECT_EQ(Decode(ScrambleRaw(p)), "中");

  p = ToBytes("\xE4\xB8");  // a Chinese character cut short
  p.resize(16, 14);
  EXPECT_THROW(Decode(ScrambleRaw(p)), EncodingError);
}

TEST(DecodeScrambledValue, NoBytesGiveTheEmptyText) {
  EXPECT_EQ(Decode(""), "");
  EXPECT_EQ(Decode("===\r\n"), "");
  EXPECT_EQ(Decode("Q"), "");  // a single leftover character yields no byte
}

TEST(Base64, LenientDecodingTable) {
  const struct {
    const char* in;
    ByteVec out;
  } cases[] = {
      {"", {}},
      {"TQ==", {'M'}},
      {"TQ", {'M'}},
      {"TWE", {'M', 'a'}},
      {"TWFu", {'M', 'a', 'n'}},
      {"T W\nF u", {'M', 'a', 'n'}},
      {"TWFuT", {'M', 'a', 'n'}},
      {"=T=W=F=u=", {'M', 'a', 'n'}},
      {"-_", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(DecodeBase64Lenient(c.in), c.out);
  }
  EXPECT_EQ(EncodeBase64(AsBytes("Ma")), "TWE=");
  EXPECT_EQ(EncodeBase64(AsBytes("M")), "TQ==");
}

}  // namespace
}  // namespace lk
