#include "platform/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/error.h"
#include "platform/sha256.h"
#include "platform/sha256_shani.h"

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

std::string Hex(const Sha256Digest& d) { return ToLowerHex(Bytes(d.data(), d.size())); }

// Both backends, and the processor's extensions directly where it has them.
TEST(Sha256, KnownVectors) {
  const std::pair<std::string, const char*> vectors[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrs"
       "tnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [text, digest] : vectors) {
    for (const Sha256Backend backend : {Sha256Backend::kFastest, Sha256Backend::kPlatform}) {
      // Fed in pieces gives the same digest as in one piece.
      Sha256 h(backend);
      for (std::size_t i = 0; i < text.size(); i += 4099) h.Update(AsBytes(std::string_view(text).substr(i, 4099)));
      EXPECT_EQ(Hex(h.Final()), digest) << text.size();
    }
    if (ShaExtensionsAvailable()) {
      Sha256Ni n;
      n.Update(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
      EXPECT_EQ(Hex(n.Final()), digest) << text.size();
    }
  }
}

// Random data of every length around the block and padding boundaries, fed
// in random pieces: the fast path agrees with the platform's.
TEST(Sha256, TheProcessorsExtensionsAgreeWithThePlatform) {
  if (!ShaExtensionsAvailable()) GTEST_SKIP() << "this processor has no SHA extensions";
  std::mt19937 random(20261211);
  std::string data(70000, '\0');
  for (char& c : data) c = static_cast<char>(random());
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 200; ++n) lengths.push_back(n);
  for (std::size_t n : {1000u, 4095u, 4096u, 4097u, 65535u, 65536u, 70000u}) lengths.push_back(n);
  for (const std::size_t n : lengths) {
    Sha256 platform(Sha256Backend::kPlatform);
    platform.Update(AsBytes(std::string_view(data).substr(0, n)));
    Sha256Ni fast;
    for (std::size_t at = 0; at < n;) {
      const std::size_t piece = std::min<std::size_t>(n - at, random() % 150);
      fast.Update(reinterpret_cast<const std::uint8_t*>(data.data()) + at, piece);
      at += piece;
    }
    ASSERT_EQ(Hex(fast.Final()), Hex(platform.Final())) << n;
  }
}

}  // namespace
}  // namespace lk
