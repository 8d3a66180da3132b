// launcher-kit pack and inspect, in-process, on the host and under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "core/package.h"
#include "core/skin_items.h"
#include "platform/error.h"
#include "platform/text.h"
#include "tests/support/image_files.h"
#include "tests/support/kit_run.h"
#include "tools/launcher_kit.h"
#include "tools/skin_source.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace lk::kit {
namespace {

namespace fs = std::filesystem;

const std::string kDemo = std::string(LK_SOURCE_DIR) + "/skins/demo";

using test::RunKit;

// A fresh folder, removed with its contents afterwards; paths in UTF-8.
class Folder {
 public:
  Folder() {
    static int counter = 0;
#ifdef _WIN32
    const long pid = static_cast<long>(GetCurrentProcessId());
#else
    const long pid = static_cast<long>(getpid());
#endif
    path_ = fs::temp_directory_path() / ("lk-kit-" + std::to_string(pid) + "-" + std::to_string(++counter));
    fs::create_directories(path_);
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const {
#ifdef _WIN32
    return Narrow(path_.wstring()) + "\\" + name;
#else
    return (path_ / name).string();
#endif
  }
  std::string Path() const { return File("").substr(0, File("").size() - 1); }

 private:
  fs::path path_;
};

const std::string kProgram = "MZ fake launcher program" + std::string(1000, '\x90');

class PackInspectTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFileBytes(launcher, kProgram); }
  test::KitResult Pack(const std::string& skin, const std::string& out, const std::string& brand = "演示服") {
    return RunKit({"pack", "--launcher", launcher, "--out", out, "--brand", brand, "--token", "tok-令牌",
                   "--skin", skin});
  }
  Folder dir;
  const std::string launcher = dir.File("launcher.exe");
};

TEST_F(PackInspectTest, DemoSkinRoundTripsExactly) {
  const std::string packed = dir.File("branded.exe");
  test::KitResult r = Pack(kDemo, packed);
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string bytes = ReadFileBytes(packed);
  EXPECT_EQ(bytes.substr(0, kProgram.size()), kProgram);

  Folder extracted;
  r = RunKit({"inspect", packed, "--extract", extracted.Path()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("BrandName = 演示服\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("BrandAuthorization = tok-令牌\n"), std::string::npos);
  EXPECT_NE(r.out.find("ControlbackImage = PNG 982x588, "), std::string::npos);
  EXPECT_NE(r.out.find("Controlbutton52Image = BMP 24x24, "), std::string::npos);
  EXPECT_NE(r.out.find("ControltitletxtFont = 微软雅黑, 10.5\n"), std::string::npos);
  EXPECT_NE(r.out.find("ControlServerListPoint = 40,80\n"), std::string::npos);

  // The extracted source is the same skin, image files byte for byte ...
  const TGraphicInfo demo = ReadSkinSource(kDemo), back = ReadSkinSource(extracted.Path());
  EXPECT_TRUE(SameSkin(demo, back));
  EXPECT_EQ(ReadFileBytes(extracted.File("ControlbackImage.png")), ReadFileBytes(kDemo + "/background.png"));
  EXPECT_EQ(ReadFileBytes(extracted.File("Controlbutton51Image.bmp")), ReadFileBytes(kDemo + "/close1.bmp"));
  // ... and packing it again gives the same file.
  const std::string again = dir.File("again.exe");
  ASSERT_EQ(Pack(extracted.Path(), again).code, 0);
  EXPECT_EQ(ReadFileBytes(again), bytes);
  // The launcher's own decoding sees the same brand and skin.
  TLoginInfo login;
  TGraphicInfo skin;
  const auto result = DecodeLauncherPackage(AsBytes(bytes), login, skin, HeaderImageDecoder());
  EXPECT_EQ(result.outcome, StartupPackageResult::Outcome::Decoded) << result.message;
  EXPECT_EQ(login.BrandName, "演示服");
  EXPECT_TRUE(SameSkin(skin, demo));
}

TEST_F(PackInspectTest, PackingAPackedLauncherReplacesItsPackage) {
  const std::string once = dir.File("once.exe"), twice = dir.File("twice.exe");
  ASSERT_EQ(Pack(kDemo, once).code, 0);
  WriteFileBytes(launcher, ReadFileBytes(once));
  test::KitResult r = Pack(kDemo, twice, "另一个品牌");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("replaced"), std::string::npos);
  const std::string bytes = ReadFileBytes(twice);
  EXPECT_EQ(LocatePackage(AsBytes(bytes)).offset, kProgram.size());
  TLoginInfo login;
  DecodeBrandBlock(LocatePackage(AsBytes(bytes)).brand, login);
  EXPECT_EQ(login.BrandName, "另一个品牌");
}

TEST_F(PackInspectTest, BrandTextsLongerThan255BytesAreRefused) {
  const std::string out = dir.File("x.exe");
  test::KitResult r = Pack(kDemo, out,
                  std::string(85, 'a') + std::string(57, 'b') +
                      "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三"
                      "四五六七八九十一二三四五六七");
  // 85 + 57 + 57 * 2 = 256 bytes in code page 936.
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("at most 255"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(fs::path(out)));
  r = Pack(kDemo, out,
           std::string(141, 'a') +
               "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三四五六"
               "七八九十一二三四五六七");
  EXPECT_EQ(r.code, 0) << r.err;  // 141 + 114 = 255
}

TEST_F(PackInspectTest, DamagedPackagesAreClearErrors) {
  const std::string packed = dir.File("branded.exe");
  ASSERT_EQ(Pack(kDemo, packed).code, 0);
  const std::string bytes = ReadFileBytes(packed);
  struct Case {
    const char* what;
    std::string file;
    const char* text;
  };
  std::string bad_png = bytes;
  // The background PNG's signature sits after B, the brand block, S, and
  // skin items 1 to 3 plus item 4's length.
  const std::size_t png_at = bytes.find("\x89PNG");
  bad_png[png_at + 1] = 'X';
  std::string long_skin = bytes;
  const std::size_t s_at = kProgram.size() + 4 + LocatePackage(AsBytes(bytes)).brand.size();
  long_skin.replace(s_at, 4, std::string("\x00\x00\x10\x00", 4));
  const Case cases[] = {
      {"no package", kProgram, "damaged launcher package"},
      {"cut short", bytes.substr(0, bytes.size() - 100), "damaged launcher package"},
      {"damaged PNG", bad_png, "PNG"},
      {"skin longer than the file", long_skin, "皮肤数据 长度比总长度"},
  };
  for (const Case& c : cases) {
    WriteFileBytes(packed, c.file);
    const test::KitResult r = RunKit({"inspect", packed});
    EXPECT_EQ(r.code, 1) << c.what;
    EXPECT_NE(r.err.find(c.text), std::string::npos) << c.what << ": " << r.err;
    EXPECT_NE(r.err.find(packed), std::string::npos) << c.what;
  }
}

// Each fault in skin.txt names the file and the line.
TEST_F(PackInspectTest, SkinSourceFaultsNameFileAndLine) {
  Folder skin;
  WriteFileBytes(skin.File("a.png"), test::SolidPng(2, 2, 0xFF00FF00u));
  WriteFileBytes(skin.File("b.bmp"), test::SolidBmp(2, 2, 0));
  WriteFileBytes(skin.File("png-named.bmp"), test::SolidPng(2, 2, 0xFF00FF00u));
  struct Case {
    std::string line;
    const char* text;
  };
  const Case cases[] = {
      {"Nonsense = 1", "unknown key Nonsense"},
      {"BrandNameSwitch = 2", "must be 0 or 1"},
      {"ServerListType = 256", "must be 0 to 255"},
      {"ControlLoingPoint = 10", "must be x,y"},
      {"ControlLoingPoint = 10,9999999999", "must be x,y"},
      {"ControlLoingSizet = -1,5", "cannot be negative"},
      {"ControlbackImage = missing.png", "cannot be read"},
      {"ControlbackImage = b.bmp", "must be a PNG file"},
      {"Controlbutton41Image = a.png", "must be a BMP file"},
      {"Controlbutton41Image = png-named.bmp", "is not a BMP file"},
      {"ControltitletxtPoint = 1,2,3", "must be x,y"},
      {"ControltitletxtFont = 宋体", "family name, size"},
      {"ControltitletxtColor = red", "#RRGGBB"},
      {"ControlServerListPoint = 5,5", "not stored when ServerListType is 0"},
      {"BrandNameSwitch", "expected Key = value"},
      {"SkinName = again", "given twice"},
  };
  for (const Case& c : cases) {
    WriteFileBytes(skin.File("skin.txt"), "# test skin\nSkinName = x\n\n" + c.line + "\n");
    const test::KitResult r = Pack(skin.Path(), dir.File("out.exe"));
    EXPECT_EQ(r.code, 1) << c.line;
    EXPECT_NE(r.err.find("skin.txt:4: "), std::string::npos) << c.line << " -> " << r.err;
    EXPECT_NE(r.err.find(c.text), std::string::npos) << c.line << " -> " << r.err;
  }
  // Texts are checked in code page 936 (a header line of their own here).
  for (const std::string& name : {std::string(256, 'x'), std::string("\xF0\x9F\x98\x80")}) {
    WriteFileBytes(skin.File("skin.txt"), "\nSkinName = " + name + "\n");
    const test::KitResult r = Pack(skin.Path(), dir.File("out.exe"));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("skin.txt:2: text"), std::string::npos) << r.err;
  }
  // The same keys with good values pack.
  WriteFileBytes(
      skin.File("skin.txt"),
      "\xEF\xBB\xBFServerListType = 0\nControlServerList1Point = 5,6\nControlServerListPoint = 0,0\n"
      "ControlbackImage = a.png\nControlbutton41Image = b.bmp\nControltitletxtFont = Segoe UI, 9.5\n"
      "ControltitletxtColor = COLOR_BTNTEXT\r\n");
  const TGraphicInfo g = ReadSkinSource(skin.Path());
  EXPECT_EQ(g.ControlServerList1Point, (TSize{5, 6}));
  EXPECT_EQ(g.ControltitletxtFont.Size, 9.5f);
  EXPECT_EQ(g.ControltitletxtColor, 0xFF000012u);
  EXPECT_EQ(g.Controlbutton41Image->Pixels.width, 2);
}

TEST(SkinSourceColour, TextFormsRoundTrip) {
  struct Case {
    const char* text;
    TColor value;
  };
  const Case cases[] = {
      {"#123456", 0x00563412u},         {"#FFFFFF", 0x00FFFFFFu},       {"COLOR_WINDOWTEXT", 0xFF000008u},
      {"COLOR_SCROLLBAR", 0xFF000000u}, {"COLOR_MENUBAR", 0xFF00001Eu}, {"0x12345678", 0x12345678u},
      {"0xFF000019", 0xFF000019u},  // system index 25 has no name
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseColour(c.text), c.value) << c.text;
    EXPECT_EQ(ColourText(c.value), c.text);
  }
  for (const char* bad : {"", "#12345", "#GGGGGG", "COLOR_NOPE", "0x123", "123456"})
    EXPECT_FALSE(ParseColour(bad)) << bad;
}

}  // namespace
}  // namespace lk::kit

namespace lk::kit {
namespace {

TEST(PackInspectUsage, MissingArgumentsAreUsageErrors) {
  const Args cases[] = {
      {"pack"},
      {"pack", "--launcher", "a.exe", "--out", "b.exe", "--brand", "x", "--token", "t"},
      {"pack", "--launcher"},
      {"pack", "--colour", "red"},
      {"inspect"},
      {"inspect", "a.exe", "b.exe"},
      {"inspect", "a.exe", "--extract"},
  };
  for (const Args& args : cases) {
    const test::KitResult r = RunKit(args);
    EXPECT_EQ(r.code, 2) << args.size();
    EXPECT_NE(r.err.find("Usage: launcher-kit " + args[0]), std::string::npos) << r.err;
  }
  const test::KitResult r = RunKit({"inspect", "/no/such/launcher.exe"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cannot open /no/such/launcher.exe"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace lk::kit
