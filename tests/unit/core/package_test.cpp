#include <gtest/gtest.h>

#include "core/package.h"
#include "core/skin_items.h"
#include "tests/support/skin_fixture.h"

namespace lk {
namespace {

using Outcome = StartupPackageResult::Outcome;

std::string Le32(std::int32_t v) {
  std::string s;
  test::PutLe32(s, static_cast<std::uint32_t>(v));
  return s;
}

// A launcher file put together by hand: program bytes, the two length
// fields, blocks, further data and the trailer.
std::string File(std::size_t program, std::int32_t b, const std::string& brand, std::int32_t s,
                 const std::string& skin, std::size_t further = 32, std::int64_t trailer = -1) {
  std::string f(program, 'P');
  f += Le32(b) + brand + Le32(s) + skin + std::string(further, '\0');
  f += Le32(static_cast<std::int32_t>(trailer < 0 ? static_cast<std::int64_t>(program) : trailer));
  return f;
}

struct Decoded {
  StartupPackageResult result;
  TLoginInfo login;
  TGraphicInfo graphic;
};

// Decodes in one piece and in the launcher's two halves (brand first, the
// skin block after it), which must agree in every outcome, message and field.
Decoded DecodeFile(const std::string& file) {
  Decoded d;
  d.result = DecodeLauncherPackage(AsBytes(file), d.login, d.graphic, HeaderImageDecoder());
  Decoded halves;
  Bytes skin_block;
  halves.result = ReadLauncherPackage(AsBytes(file), halves.login, skin_block);
  if (halves.result.outcome == Outcome::Decoded) {
    halves.result = DecodeStartupSkin(skin_block, halves.graphic, HeaderImageDecoder());
  } else {
    EXPECT_TRUE(skin_block.empty()) << "no skin block after " << halves.result.message;
  }
  EXPECT_EQ(halves.result.outcome, d.result.outcome);
  EXPECT_EQ(halves.result.message, d.result.message);
  EXPECT_EQ(halves.login, d.login);
  EXPECT_TRUE(SameSkin(halves.graphic, d.graphic)) << d.result.message;
  return d;
}

class PackageTest : public ::testing::Test {
 protected:
  const TLoginInfo brand_info = test::FullBrand();
  const TGraphicInfo skin_info = test::FullSkin(1);
  const std::string brand = EncodeBrandBlock(brand_info);
  const std::string skin = EncodeSkinBlock(skin_info);
  const std::int32_t B = static_cast<std::int32_t>(brand.size());
  const std::int32_t S = static_cast<std::int32_t>(skin.size());
};

TEST_F(PackageTest, WellFormedPackagesDecodeWhereverTheyLie) {
  struct Case {
    const char* what;
    std::string file;
  };
  const Case cases[] = {
      {"written by AppendPackage", AppendPackage(std::string(5000, 'M'), brand, skin)},
      {"right at the start", File(0, B, brand, S, skin)},
      {"moved to another offset", File(123457, B, brand, S, skin)},
      {"no further data", File(10, B, brand, S, skin, 0)},
      {"much further data", File(10, B, brand, S, skin, 5000)},
      {"extra bytes after item 60", File(10, B, brand, S + 3, skin + "xyz")},
      {"extra bytes after the token", File(10, B + 2, brand + "zz", S, skin)},
  };
  for (const Case& c : cases) {
    const Decoded d = DecodeFile(c.file);
    EXPECT_EQ(d.result.outcome, Outcome::Decoded) << c.what << ": " << d.result.message;
    EXPECT_EQ(d.login, brand_info) << c.what;
    EXPECT_TRUE(SameSkin(d.graphic, skin_info)) << c.what;
  }
}

TEST_F(PackageTest, ImpossibleLengthsStopWithTheExactMessage) {
  // File length: program 10 + 4 + B + 4 + S + 32 + 4.
  const std::int64_t L = 10 + 4 + B + 4 + S + 32 + 4;
  const std::int32_t l = static_cast<std::int32_t>(L);
  {
    const Decoded d = DecodeFile(File(10, l, brand, S, skin));
    EXPECT_EQ(d.result.outcome, Outcome::Stop);
    EXPECT_EQ(d.result.message, std::to_string(L) + "品牌数据 长度比总长度" + std::to_string(L) + "还长");
    EXPECT_EQ(d.login, TLoginInfo{});
  }
  {
    const Decoded d = DecodeFile(File(10, 0x7FFFFFFF, brand, S, skin));
    EXPECT_EQ(d.result.message, "2147483647品牌数据 长度比总长度" + std::to_string(L) + "还长");
  }
  {
    const Decoded d = DecodeFile(File(10, B, brand, l, skin));
    EXPECT_EQ(d.result.outcome, Outcome::Stop);
    EXPECT_EQ(d.result.message, std::to_string(L) + "皮肤数据 长度比总长度" + std::to_string(L) + "还长");
    EXPECT_EQ(d.login, brand_info);  // the brand block was decoded before
  }
  EXPECT_EQ(BrandLengthMessage(70000, 65536), "70000品牌数据 长度比总长度65536还长");
  EXPECT_EQ(SkinLengthMessage(-0, 9), "0皮肤数据 长度比总长度9还长");
}

// One below the file length passes the length test; the block then runs
// past the file, which is a decoding error, not a read beyond the data.
TEST_F(PackageTest, FaultsThatAreDecodingErrors) {
  const std::int64_t L = 10 + 4 + B + 4 + S + 32 + 4;
  const std::int32_t l = static_cast<std::int32_t>(L);
  struct Case {
    const char* what;
    std::string file;
    const char* text;
    bool brand_set;
  };
  const std::string no_trailer = File(10, B, brand, S, skin);
  const Case cases[] = {
      {"brand length one below the file", File(10, l - 1, brand, S, skin), "超出文件末尾", false},
      {"skin length one below the file", File(10, B, brand, l - 1, skin), "超出文件末尾", true},
      {"negative brand length", File(10, -5, brand, S, skin), "品牌数据长度 -5 为负数", false},
      {"negative skin length", File(10, B, brand, INT32_MIN, skin), "皮肤数据长度 -2147483648 为负数", true},
      {"trailer past the end", File(10, B, brand, S, skin, 32, L), "数据包偏移", false},
      {"trailer inside the trailer", File(10, B, brand, S, skin, 32, L - 3), "数据包偏移", false},
      {"negative trailer", File(10, B, brand, S, skin, 32, 0xFFFFFFFFLL), "数据包偏移 -1", false},
      {"file shorter than a trailer", "abc", "容不下数据包尾", false},
      {"skin length field past the end", std::string(10, 'P') + Le32(B + 2) + brand + Le32(10),
       "皮肤数据长度在偏移", true},
      {"brand block shorter than its counts", File(10, 30, brand.substr(0, 30), S, skin), "品牌数据损坏",
       false},
  };
  for (const Case& c : cases) {
    const Decoded d = DecodeFile(c.file);
    EXPECT_EQ(d.result.outcome, Outcome::DecodeError) << c.what;
    EXPECT_NE(d.result.message.find(c.text), std::string::npos) << c.what << ": " << d.result.message;
    EXPECT_EQ(d.login.BrandName, c.brand_set ? brand_info.BrandName : "") << c.what;
    EXPECT_TRUE(SameSkin(d.graphic, TGraphicInfo{})) << c.what;
  }
}

TEST_F(PackageTest, DamagedPngInTheSkinKeepsTheBrandAndEarlierSkinFields) {
  TGraphicInfo damaged = skin_info;
  auto image = std::make_shared<TImage>();
  image->Kind = ImageKind::Png;
  const std::string junk = "\x89PNG but not really";
  image->Source.assign(junk.begin(), junk.end());
  damaged.ControLoing1Image = image;  // item 7
  const Decoded d = DecodeFile(AppendPackage("MZ", brand, EncodeSkinBlock(damaged)));
  EXPECT_EQ(d.result.outcome, Outcome::DecodeError);
  EXPECT_NE(d.result.message.find("PNG"), std::string::npos) << d.result.message;
  EXPECT_EQ(d.login, brand_info);
  EXPECT_TRUE(d.graphic.ControlbackImage);
  EXPECT_EQ(d.graphic.ControlLoingSizet, skin_info.ControlLoingSizet);
  EXPECT_FALSE(d.graphic.ControLoing1Image);
  EXPECT_FALSE(d.graphic.ControLoing2Image);
  EXPECT_FALSE(d.graphic.Control24Switch);
}

TEST_F(PackageTest, LocateAndReplaceAPackage) {
  const std::string program = "MZ program bytes" + std::string(300, '\0');
  const std::string packed = AppendPackage(program, brand, skin);
  const PackageLayout layout = LocatePackage(AsBytes(packed));
  EXPECT_EQ(layout.offset, program.size());
  EXPECT_EQ(layout.brand.size(), brand.size());
  EXPECT_EQ(layout.skin.size(), skin.size());
  EXPECT_EQ(layout.further, 32u);
  EXPECT_EQ(ProgramPart(packed), program);
  EXPECT_EQ(ProgramPart(program), program);  // no package: all of it is the program
  // Repacking replaces, never stacks.
  const std::string again = AppendPackage(ProgramPart(packed), brand, EncodeSkinBlock(test::FullSkin(0)));
  EXPECT_EQ(LocatePackage(AsBytes(again)).offset, program.size());
  EXPECT_EQ(again.size(), packed.size());
  // A package by another writer (other further data) is not ours to strip.
  const std::string foreign = File(program.size(), B, brand, S, skin, 7);
  EXPECT_EQ(ProgramPart(foreign).size(), foreign.size());
  EXPECT_THROW(LocatePackage(AsBytes(std::string("\0\0\0\0", 4))), Error);
}

}  // namespace
}  // namespace lk
