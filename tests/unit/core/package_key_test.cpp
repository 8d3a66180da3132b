// The update key block of the launcher package: found only behind its
// mark, strictly in place, never changing what brand and skin decode to,
// and a package that says it has a key never counting as one without.
#include <gtest/gtest.h>

#include "core/package.h"
#include "core/signing.h"
#include "tests/support/skin_fixture.h"
#include "tests/support/temp_dir.h"

namespace lk {
namespace {

using Outcome = StartupPackageResult::Outcome;

std::string Le32(std::int32_t v) {
  std::string s;
  test::PutLe32(s, static_cast<std::uint32_t>(v));
  return s;
}

std::string Further(std::string_view mark) {
  std::string s(mark);
  s.resize(32, '\0');
  return s;
}

class PackageKeyTest : public ::testing::Test {
 protected:
  const std::string program = "MZ program" + std::string(500, '\x90');
  const TLoginInfo brand_info = test::FullBrand();
  const TGraphicInfo skin_info = test::FullSkin(1);
  const std::string brand = EncodeBrandBlock(brand_info);
  const std::string skin = EncodeSkinBlock(skin_info);
  const std::string key_der = test::ReadTestFile(test::FixturePath("signing/rfc6979.pub.der"));
  const PublicKey key = PublicKeyFromDer(AsBytes(key_der));

  // What the launcher takes from a file: the records and the key.
  struct Start {
    StartupPackageResult result;
    TLoginInfo login;
    TGraphicInfo graphic;
    TUpdateKey update_key;
    std::string key_message;
  };
  static Start StartWith(const std::string& file) {
    Start s;
    s.result = DecodeLauncherPackage(AsBytes(file), s.login, s.graphic, HeaderImageDecoder());
    s.update_key.Present = true;  // DecodeUpdateKey must reset what was there
    s.key_message = DecodeUpdateKey(AsBytes(file), s.update_key);
    return s;
  }
};

TEST_F(PackageKeyTest, AKeyedPackageIsTheOldPackagePlusOneBlock) {
  const std::string plain = AppendPackage(program, brand, skin);
  const std::string keyed = AppendPackage(program, brand, skin, key_der);
  // Without a key: exactly the layout launchers have always read.
  EXPECT_EQ(plain, program + Le32(static_cast<std::int32_t>(brand.size())) + brand +
                       Le32(static_cast<std::int32_t>(skin.size())) + skin + Further(kPackageMark) +
                       Le32(static_cast<std::int32_t>(program.size())));
  // With one: K and the key's DER between the skin block and the further
  // data, whose mark says so.
  const std::size_t skin_end = plain.size() - 36;
  EXPECT_EQ(keyed.substr(0, skin_end), plain.substr(0, skin_end));
  EXPECT_EQ(keyed.substr(skin_end), Le32(static_cast<std::int32_t>(key_der.size())) + key_der +
                                        Further(kKeyedPackageMark) +
                                        Le32(static_cast<std::int32_t>(program.size())));

  for (const std::string* file : {&plain, &keyed}) {
    const bool has_key = file == &keyed;
    // Brand and skin decode as they always did: an old launcher's reading.
    const Start s = StartWith(*file);
    EXPECT_EQ(s.result.outcome, Outcome::Decoded) << s.result.message;
    EXPECT_EQ(s.login, brand_info);
    EXPECT_TRUE(SameSkin(s.graphic, skin_info));
    EXPECT_EQ(s.update_key.Present, has_key);
    EXPECT_EQ(s.update_key.Key, has_key ? std::optional<PublicKey>(key) : std::nullopt);
    EXPECT_EQ(s.key_message, "");

    const PackageLayout layout = LocatePackage(AsBytes(*file));
    EXPECT_EQ(layout.further, 32u);
    ASSERT_EQ(layout.update_key.has_value(), has_key);
    if (has_key) {
      EXPECT_EQ(std::string(layout.update_key->begin(), layout.update_key->end()), key_der);
    }
    EXPECT_EQ(ProgramPart(*file), program);
  }
}

TEST_F(PackageKeyTest, OnlyTheKeyedMarkMakesAKeyBlock) {
  // Further data of other writers, even holding a key's bytes, is never
  // taken for a key block.
  const std::string base = program + Le32(static_cast<std::int32_t>(brand.size())) + brand +
                           Le32(static_cast<std::int32_t>(skin.size())) + skin;
  const std::string trailer = Le32(static_cast<std::int32_t>(program.size()));
  const std::string cases[] = {
      base + trailer,
      base + std::string(32, 'X') + trailer,
      base + Le32(static_cast<std::int32_t>(key_der.size())) + key_der + Further(kPackageMark) + trailer,
      base + Le32(static_cast<std::int32_t>(key_der.size())) + key_der + Further("launcher-kit package v3") +
          trailer,
  };
  for (const std::string& file : cases) {
    const Start s = StartWith(file);
    EXPECT_EQ(s.result.outcome, Outcome::Decoded);
    EXPECT_FALSE(s.update_key.Present);
    EXPECT_FALSE(s.update_key.Key);
    EXPECT_EQ(s.key_message, "");
    EXPECT_FALSE(LocatePackage(AsBytes(file)).update_key);
  }
}

TEST_F(PackageKeyTest, DamagedKeyBlocksAreReportedAndLeaveNoKey) {
  const std::string head = program + Le32(static_cast<std::int32_t>(brand.size())) + brand +
                           Le32(static_cast<std::int32_t>(skin.size())) + skin;
  const std::string tail = Further(kKeyedPackageMark) + Le32(static_cast<std::int32_t>(program.size()));
  const std::int32_t k = static_cast<std::int32_t>(key_der.size());
  std::string off_curve = key_der;
  off_curve.back() ^= 0x01;
  struct Case {
    const char* what;
    std::string file;
    const char* text;
  };
  const Case cases[] = {
      {"K one too large", head + Le32(k + 1) + key_der + tail, "更新公钥数据长度 92 与数据包不符 (应为 91)"},
      {"K one too small", head + Le32(k - 1) + key_der + tail, "与数据包不符"},
      {"K negative", head + Le32(-1) + key_der + tail, "更新公钥数据长度 -1"},
      {"K zero, no block", head + Le32(0) + tail, "更新公钥数据长度 0"},
      {"no room for K", head + "ab" + tail, "超出数据包"},
      {"a point off the curve", head + Le32(k) + off_curve + tail,
       "更新公钥无效: public key: the public point"},
      {"not a key", head + Le32(5) + "hello" + tail, "更新公钥无效"},
  };
  for (const Case& c : cases) {
    const Start s = StartWith(c.file);
    // Brand and skin are as good as ever ...
    EXPECT_EQ(s.result.outcome, Outcome::Decoded) << c.what << ": " << s.result.message;
    EXPECT_EQ(s.login, brand_info) << c.what;
    EXPECT_TRUE(SameSkin(s.graphic, skin_info)) << c.what;
    // ... but the key the package promises is not there, which start-up
    // shows; the update run must then trust nothing.
    EXPECT_TRUE(s.update_key.Present) << c.what;
    EXPECT_FALSE(s.update_key.Key) << c.what;
    EXPECT_NE(s.key_message.find("启动器数据损坏: "), std::string::npos) << c.what;
    EXPECT_NE(s.key_message.find(c.text), std::string::npos) << c.what << ": " << s.key_message;
  }
}

// Whatever goes wrong before the key block, a package that says it has a
// key is never taken for one without.
TEST_F(PackageKeyTest, EarlierFaultsNeverSwitchTheKeyOff) {
  TGraphicInfo damaged = skin_info;
  auto image = std::make_shared<TImage>();
  image->Kind = ImageKind::Png;
  const std::string junk = "\x89PNG but not really";
  image->Source.assign(junk.begin(), junk.end());
  damaged.ControlbackImage = image;
  {
    const Start s = StartWith(AppendPackage(program, brand, EncodeSkinBlock(damaged), key_der));
    EXPECT_EQ(s.result.outcome, Outcome::DecodeError);
    EXPECT_EQ(s.login, brand_info);
    EXPECT_EQ(s.update_key.Key, std::optional<PublicKey>(key));
    EXPECT_EQ(s.key_message, "");
  }
  std::string negative = AppendPackage(program, brand, skin, key_der);
  negative.replace(program.size(), 4, Le32(-2));
  {
    const Start s = StartWith(negative);
    EXPECT_EQ(s.result.outcome, Outcome::DecodeError);
    EXPECT_TRUE(s.update_key.Present);
    EXPECT_FALSE(s.update_key.Key);
    // Start-up has shown the brand length's message; nothing to add.
    EXPECT_EQ(s.key_message, "");
  }
}

}  // namespace
}  // namespace lk
