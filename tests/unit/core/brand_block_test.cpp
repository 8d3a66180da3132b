#include <gtest/gtest.h>

#include "core/logininfo.h"
#include "core/package.h"
#include "platform/error.h"
#include "tests/support/skin_fixture.h"

namespace lk {
namespace {

std::string Block(std::uint8_t is_dh, const std::string& name_gbk, const std::string& token_gbk) {
  std::string b(1, static_cast<char>(is_dh));
  for (int i = 0; i < 32; ++i) b += static_cast<char>(i);
  for (int i = 0; i < 16; ++i) b += static_cast<char>(0x40 + i);
  b += static_cast<char>(name_gbk.size());
  b += name_gbk;
  b += static_cast<char>(token_gbk.size());
  b += token_gbk;
  return b;
}

TEST(BrandBlock, DecodesFieldsInBlockOrder) {
  const std::string name = Utf8ToGbk("热血传奇"), token = "abc-123";
  TLoginInfo info;
  DecodeBrandBlock(AsBytes(Block(1, name, token) + std::string("\x04\0\0\0ICON", 8)), info);
  EXPECT_EQ(info.IsDh, 1);
  EXPECT_EQ(info.Key[0], 0);
  EXPECT_EQ(info.Key[31], 31);
  EXPECT_EQ(info.Iv[0], 0x40);
  EXPECT_EQ(info.Iv[15], 0x4F);
  EXPECT_EQ(info.BrandName, "热血传奇");
  EXPECT_EQ(info.BrandAuthorization, "abc-123");
  EXPECT_FALSE(info.IcoImage);
}

TEST(BrandBlock, EdgeCases) {
  struct Case {
    const char* what;
    std::string block;
    std::string name, token;
  };
  const std::string n255(255, 'N');
  const Case cases[] = {
      {"both counts zero", Block(0, "", ""), "", ""},
      {"255-byte name taken whole", Block(0, n255, "t"), n255, "t"},
      {"trailing bytes change nothing", Block(0, "a", "b") + std::string(1000, '\xFF'), "a", "b"},
      {"exactly 51 + n1 + n2 bytes", Block(0, "ab", "cd"), "ab", "cd"},
  };
  for (const Case& c : cases) {
    TLoginInfo info;
    DecodeBrandBlock(AsBytes(c.block), info);
    EXPECT_EQ(info.BrandName, c.name) << c.what;
    EXPECT_EQ(info.BrandAuthorization, c.token) << c.what;
  }
}

// A block shorter than its counts is an error, and the fields read before
// the shortfall stay set.
TEST(BrandBlock, ShortBlockRaisesAndKeepsEarlierFields) {
  const std::string full = Block(9, "name", "tok");  // 51 + 4 + 3 = 58 bytes
  struct Case {
    std::size_t keep;
    bool is_dh, key, name;
  };
  const Case cases[] = {
      {0, false, false, false}, {1, true, false, false}, {32, true, false, false},
      {49, true, true, false},  {50, true, true, false}, {53, true, true, false},
      {54, true, true, true},   {55, true, true, true},  {57, true, true, true},
  };
  for (const Case& c : cases) {
    TLoginInfo info;
    try {
      DecodeBrandBlock(AsBytes(full.substr(0, c.keep)), info);
      ADD_FAILURE() << "no error for " << c.keep << " bytes";
    } catch (const RangeError& e) {
      EXPECT_NE(std::string(e.what()).find("品牌数据损坏"), std::string::npos) << e.what();
    }
    EXPECT_EQ(info.IsDh, c.is_dh ? 9 : 0) << c.keep;
    EXPECT_EQ(info.Key[31], c.key ? 31 : 0) << c.keep;
    EXPECT_EQ(info.BrandName, c.name ? "name" : "") << c.keep;
    EXPECT_EQ(info.BrandAuthorization, "") << c.keep;
  }
}

TEST(BrandBlock, WriterRoundTripsAndRefusesTextsThatDoNotFit) {
  const TLoginInfo full = test::FullBrand();
  TLoginInfo back;
  DecodeBrandBlock(AsBytes(EncodeBrandBlock(full)), back);
  EXPECT_EQ(back, full);

  TLoginInfo info;
  info.BrandName = std::string(127, 'a') + "中文" + std::string(124, 'b');  // 255 GBK bytes
  DecodeBrandBlock(AsBytes(EncodeBrandBlock(info)), back);
  EXPECT_EQ(back.BrandName, info.BrandName);
  info.BrandName += "b";  // 256
  EXPECT_THROW(EncodeBrandBlock(info), Error);
  info.BrandName = "ok";
  info.BrandAuthorization = std::string(128, '\0') + std::string(64, 'x') +
                            "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二";
  EXPECT_THROW(EncodeBrandBlock(info), Error);
  info.BrandAuthorization = "\xF0\x9F\x98\x80";  // an emoji has no code page 936 form
  EXPECT_THROW(EncodeBrandBlock(info), Error);
}

}  // namespace
}  // namespace lk
