// TInfFileHelper against the real profile functions (under Wine in CI).
#include "launcher/InfFileHelper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/error.h"
#include "platform/text.h"
#include "tests/support/temp_dir_win.h"

namespace lk {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const std::string& utf8Path, const std::string& bytes) {
  std::ofstream f(fs::path(Wide(utf8Path)), std::ios::binary);
  f << bytes;
}

bool Exists(const std::string& utf8Path) { return fs::exists(fs::path(Wide(utf8Path))); }

class InfFileHelperTest : public ::testing::Test {
 protected:
  test::TempDir dir;
};

TEST_F(InfFileHelperTest, MissingFileReadsDefaultsAndIsNotCreated) {
  const std::string path = dir.File("缺少.inf");
  {
    TInfFileHelper ini(path);
    EXPECT_EQ(ini.FileName(), path);
    EXPECT_EQ(ini.ReadString("LoginData", "WebUrl", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadInteger("LoginData", "X", 7), 7);
    EXPECT_TRUE(ini.ReadBool("LoginData", "X", true));
    EXPECT_FALSE(ini.SectionExists("LoginData"));
  }
  EXPECT_FALSE(Exists(path));
}

TEST_F(InfFileHelperTest, WriteCreatesFileSectionAndKeyAndReplacesInPlace) {
  const std::string path = dir.File("sub.ini");
  {
    TInfFileHelper ini(path);
    ini.WriteString("Options", "ServerAddr", "127.0.0.1");
    ini.WriteString("Options", "Param1", "7000");
    ini.WriteString("Options", "ServerAddr", "10.0.0.1");
    ini.WriteInteger("Options", "Interface", -2);
    ini.WriteBool("Options", "FullScreenMode", true);
  }
  TInfFileHelper ini(path);
  EXPECT_EQ(ini.ReadString("OPTIONS", "serveraddr", ""), "10.0.0.1");
  EXPECT_EQ(ini.ReadInteger("Options", "Interface", 0), -2);
  EXPECT_EQ(ini.ReadString("Options", "FullScreenMode", ""), "1");
  std::vector<std::string> keys;
  ini.ReadSection("Options", keys);
  EXPECT_EQ(keys, (std::vector<std::string>{"ServerAddr", "Param1", "Interface", "FullScreenMode"}));
}

TEST_F(InfFileHelperTest, KeysAndSectionsIgnoreLetterCase) {
  const std::string path = dir.File("case.inf");
  WriteBytes(path, "[LOGINDATA]\r\nWEBURL=http://a.example/\r\n");
  TInfFileHelper ini(path);
  EXPECT_EQ(ini.ReadString("LoginData", "WebUrl", ""), "http://a.example/");
  EXPECT_TRUE(ini.ValueExists("logindata", "weburl"));
  EXPECT_FALSE(ini.ValueExists("LoginData", "PayUrl"));
}

TEST_F(InfFileHelperTest, LongValuesAreCutTo2047Characters) {
  const std::string path = dir.File("long.inf");
  const std::string value(3000, 'v');
  WriteBytes(path, "[S]\r\nK=" + value + "\r\n");
  TInfFileHelper ini(path);
  EXPECT_EQ(ini.ReadString("S", "K", ""), value.substr(0, 2047));
}

TEST_F(InfFileHelperTest, IntegerAndBoolRules) {
  const std::string path = dir.File("num.inf");
  WriteBytes(path,
             "[N]\r\nhex1=0x1F\r\nhex2=0X1f\r\nhex3=$10\r\nbad=12abc\r\nneg=-5\r\nspace=  9\r\n"
             "big=2147483648\r\ntwo=2\r\nzero=0\r\nyes=yes\r\nempty=\r\n");
  TInfFileHelper ini(path);
  const struct {
    const char* key;
    int value;
  } ints[] = {{"hex1", 31}, {"hex2", 31}, {"hex3", 16}, {"bad", -99}, {"neg", -5},
              {"space", 9}, {"big", -99}, {"missing", -99}, {"empty", -99}};
  for (const auto& c : ints) EXPECT_EQ(ini.ReadInteger("N", c.key, -99), c.value) << c.key;
  EXPECT_TRUE(ini.ReadBool("N", "two", false));
  EXPECT_FALSE(ini.ReadBool("N", "zero", true));
  EXPECT_TRUE(ini.ReadBool("N", "yes", true));
  EXPECT_FALSE(ini.ReadBool("N", "yes", false));
}

TEST_F(InfFileHelperTest, ReadsAnsiAndUtf16Files) {
  // "[LoginData]\r\nName=登录器\r\n" in code page 936 and in UTF-16 LE with BOM.
  const std::string ansiGbk = "[LoginData]\r\nName=" + Utf8ToGbk("登录器") + "\r\n[" + Utf8ToGbk("区服") +
                              "]\r\n" + Utf8ToGbk("键") + "=" + Utf8ToGbk("值") + "\r\n";
  WriteBytes(dir.File("ansi.inf"), ansiGbk);
  const std::u16string text = u"\xFEFF[LoginData]\r\nName=登录器\r\n[区服]\r\n键=值\r\n";
  WriteBytes(dir.File("utf16.inf"),
             std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  for (const char* name : {"ansi.inf", "utf16.inf"}) {
    SCOPED_TRACE(name);
    TInfFileHelper ini(dir.File(name));
    EXPECT_EQ(ini.ReadString("LoginData", "Name", ""), "登录器");
    EXPECT_EQ(ini.ReadString("区服", "键", ""), "值");
    std::vector<std::string> sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, (std::vector<std::string>{"LoginData", "区服"}));
  }
}

TEST_F(InfFileHelperTest, SectionListsAndDeletion) {
  const std::string path = dir.File("lists.inf");
  WriteBytes(path, "[A]\r\nk1=v1\r\nk2=v=2\r\n[B]\r\nx=1\r\n[Empty]\r\n");
  TInfFileHelper ini(path);
  std::vector<std::string> lines = {"stale"};
  ini.ReadSectionValues("A", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"k1=v1", "k2=v=2"}));
  EXPECT_TRUE(ini.SectionExists("A"));
  EXPECT_FALSE(ini.SectionExists("Empty"));
  EXPECT_FALSE(ini.SectionExists("Nope"));

  ini.DeleteKey("A", "k1");
  ini.DeleteKey("A", "never-there");
  EXPECT_FALSE(ini.ValueExists("A", "k1"));
  EXPECT_TRUE(ini.ValueExists("A", "K2"));
  ini.DeleteSection("B");
  std::vector<std::string> sections;
  ini.ReadSections(sections);
  EXPECT_EQ(std::count(sections.begin(), sections.end(), "B"), 0);
}

TEST_F(InfFileHelperTest, RefusedWriteNamesTheFile) {
  const std::string path = dir.File("no such folder\\x.ini");
  TInfFileHelper ini(path);
  try {
    ini.WriteString("S", "K", "V");
    FAIL() << "write into a missing folder succeeded";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
  }
  // The object stays usable.
  EXPECT_EQ(ini.ReadString("S", "K", "d"), "d");
}

}  // namespace
}  // namespace lk
