#include "platform/text.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/sha256.h"

namespace lk {
namespace {

std::string Bin(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s += static_cast<char>(c);
  return s;
}

TEST(Utf8Strict, AcceptsWellFormedAndRefusesTheRest) {
  const std::string good[] = {"", "abc", "中文", "\xF0\x9F\x98\x80", std::string("a\0b", 3)};
  for (const auto& g : good) EXPECT_EQ(DecodeUtf8Strict(AsBytes(g)), g);
  const std::string bad[] = {
      Bin({0xFF}),             Bin({0xC0, 0x80}),       // overlong NUL
      Bin({0xE0, 0x80, 0xAF}), Bin({0xED, 0xA0, 0x80}),  // overlong, surrogate
      Bin({0xF4, 0x90, 0x80, 0x80}),                    // above U+10FFFF
      Bin({0xE4, 0xB8}),       Bin({0x80}),  Bin({'a', 0xC3})};
  for (const auto& b : bad) {
    try {
      DecodeUtf8Strict(AsBytes(b));
      ADD_FAILURE() << "accepted a bad sequence";
    } catch (const EncodingError& e) {
      EXPECT_STREQ(e.what(), kNoMappingMessage);
    }
  }
}

TEST(Utf16, RoundTripAndReplacement) {
  const std::string s = "登录器 ✓ 𠀋";
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s);
  EXPECT_EQ(Utf8ToUtf16("𠀋").size(), 2u);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToUtf16(Bin({'a', 0xFF, 'b'})), u"a\xFFFD" u"b");
}

TEST(Gbk, DecodesAndReplacesInvalidBytes) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"", ""},
      {"abc", "abc"},
      {Bin({0xC4, 0xE3, 0xBA, 0xC3}), "你好"},
      {Bin({0x80}), "€"},
      {Bin({0xFF}), "\xEF\xBF\xBD"},
      {Bin({'a', 0xFF, 0xC4, 0xE3}), "a\xEF\xBF\xBD你"},
      {Bin({0xC4}), "\xEF\xBF\xBD"},            // lead byte at the end
      {Bin({0xC4, 0x20, 'x'}), "\xEF\xBF\xBD x"},  // lead byte without a trail
  };
  for (const auto& c : cases) EXPECT_EQ(GbkToUtf8(c.in), c.out);
}

TEST(Gbk, EncodesStrictly) {
  EXPECT_EQ(Utf8ToGbk("你好a"), Bin({0xC4, 0xE3, 0xBA, 0xC3, 'a'}));
  EXPECT_EQ(GbkToUtf8(Utf8ToGbk("风云再起·传奇")), "风云再起·传奇");
  EXPECT_THROW(Utf8ToGbk("😀"), EncodingError);
  EXPECT_THROW(Utf8ToGbk("ok\xF0\x9F\x98\x80"), EncodingError);
  EXPECT_THROW(Utf8ToGbk(Bin({0xFF})), EncodingError);
}

TEST(Sha256, KnownVectors) {
  EXPECT_EQ(ToLowerHex(ComputeSha256(AsBytes(""))),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(ToLowerHex(ComputeSha256(AsBytes("abc"))),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // Fed in pieces gives the same digest as in one piece.
  const std::string million(1000000, 'a');
  Sha256 h;
  for (std::size_t i = 0; i < million.size(); i += 4099)
    h.Update(AsBytes(std::string_view(million).substr(i, 4099)));
  const Sha256Digest d = h.Final();
  EXPECT_EQ(ToLowerHex(d), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace lk
