// The update manifest's text rule and its in-memory store.
#include <gtest/gtest.h>

#include "core/manifest.h"
#include "tests/support/sample_bytes.h"

namespace lk {
namespace {

// Every (section, key, value) of the store, in the order first written.
using Dump = std::vector<std::tuple<std::string, std::string, std::string>>;

Dump DumpOf(const ManifestIni& ini) {
  Dump out;
  for (const std::string& s : ini.Sections())
    for (const std::string& k : ini.Keys(s)) out.emplace_back(s, k, ini.ReadString(s, k));
  return out;
}

using test::Utf16Be;
using test::Utf16Le;

const char* const kManifest =
    "[UpdateData]\r\n"
    "UpdateUrl=http://127.0.0.1:8080/更新/\r\n"
    "LoginVerificationCode = 0123abcd\r\n"
    "Remotebutton1=远程协助\r\n"
    "Count=2\n"
    "[File_0]\r"
    "FileDir=.\\数据\\\r\n"
    "LocalName=游戏.dat\r\n"
    "\r\n"
    "[File_1]\n"
    "GrobalName=f1.zip\n";

const Dump kManifestDump = {
    {"UpdateData", "UpdateUrl", "http://127.0.0.1:8080/更新/"},
    {"UpdateData", "LoginVerificationCode", "0123abcd"},
    {"UpdateData", "Remotebutton1", "远程协助"},
    {"UpdateData", "Count", "2"},
    {"File_0", "FileDir", ".\\数据\\"},
    {"File_0", "LocalName", "游戏.dat"},
    {"File_1", "GrobalName", "f1.zip"},
};

bool Read(const std::string& body, ManifestIni& ini) { return ReadManifestText(AsBytes(body), ini); }

TEST(ManifestText, SameStoreInEveryAcceptedEncoding) {
  const std::string bodies[] = {
      std::string("\xEF\xBB\xBF") + kManifest,
      Utf16Le(kManifest, true),
      Utf8ToGbk(kManifest),
  };
  for (const std::string& body : bodies) {
    ManifestIni ini;
    EXPECT_TRUE(Read(body, ini));
    EXPECT_EQ(DumpOf(ini), kManifestDump);
  }
}

TEST(ManifestText, UnmarkedOrBigEndianUtf16GivesNoEntries) {
  for (const std::string& body : {Utf16Be(kManifest, true), Utf16Le(kManifest, false)}) {
    ManifestIni ini;
    EXPECT_FALSE(Read(body, ini));
    EXPECT_TRUE(ini.empty());
  }
}

struct TextCase {
  const char* name;
  std::string body;
  bool result;
  Dump dump;
};

TEST(ManifestText, LineRules) {
  const TextCase cases[] = {
      {"blanks around, later key of other case wins",
       "[UpdateData]\r\n  Count = 3  \r\ncount=4\r\n",
       true,
       {{"UpdateData", "Count", "4"}}},
      {"split at the first =", "[S]\na=b=c\n", true, {{"S", "a", "b=c"}}},
      {"header keeps inner blanks", "[ UpdateData ]\nCount=1\n", true, {{" UpdateData ", "Count", "1"}}},
      {"lines above the first header", "Count=1\nx=2\n[S]\ny=3\n", true, {{"S", "y", "3"}}},
      {"only lines above a header", "Count=1\nx=2\n", false, {}},
      {"empty header ignores entries", "[S]\na=1\n[]\nb=2\n", true, {{"S", "a", "1"}}},
      {"comment characters mean nothing", "[S]\n;x=1\n#y=2\n", true, {{"S", ";x", "1"}, {"S", "#y", "2"}}},
      {"line without = ignored", "[S]\njust text\n", false, {}},
      {"empty key and empty value", "[S]\n=v\nk=\n", true, {{"S", "", "v"}, {"S", "k", ""}}},
      {"tabs and control codes trimmed", "\t[S]\x01\n\x1F k \t=\t v \x7F\n", true, {{"S", "k", "v \x7F"}}},
      {"CR, LF and CR LF end lines",
       "[S]\ra=1\nb=2\r\nc=3\n\rd=4",
       true,
       {{"S", "a", "1"}, {"S", "b", "2"}, {"S", "c", "3"}, {"S", "d", "4"}}},
      {"a reopened section adds to it",
       "[A]\nk=1\n[B]\nk=2\n[a]\nj=3\n",
       true,
       {{"A", "k", "1"}, {"A", "j", "3"}, {"B", "k", "2"}}},
      {"empty body", "", false, {}},
      {"HTML page", "<html><body>404 Not Found</body></html>", false, {}},
      {"BOM only", "\xEF\xBB\xBF", false, {}},
      {"two bytes EF BB are not a BOM", "\xEF\xBB", false, {}},
      {"UTF-16 LE BOM only", "\xFF\xFE", false, {}},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.name);
    ManifestIni ini;
    EXPECT_EQ(Read(c.body, ini), c.result);
    EXPECT_EQ(DumpOf(ini), c.dump);
  }
}

TEST(ManifestText, ReadsIntoWhatTheStoreHolds) {
  ManifestIni ini;
  ini.WriteString("UpdateData", "Count", "9");
  ini.WriteString("Other", "k", "v");
  EXPECT_TRUE(Read("[updatedata]\nUpdateUrl=u\n", ini));
  EXPECT_EQ(ini.ReadString("UPDATEDATA", "count"), "9");
  EXPECT_EQ(ini.ReadString("UpdateData", "UpdateUrl"), "u");
  EXPECT_EQ(ini.ReadString("other", "K"), "v");
  EXPECT_FALSE(Read("no entries here", ini));
  EXPECT_EQ(DumpOf(ini).size(), 3u);
}

TEST(ManifestAnswer, OnlyA200BodyIsRead) {
  ManifestIni ini;
  ini.WriteString("UpdateData", "Count", "1");
  ManifestAnswer a = ReadManifestAnswer(404, AsBytes("[UpdateData]\nCount=7\n"), ini);
  EXPECT_FALSE(a.entries);
  EXPECT_EQ(a.message, "请求失败，状态码：404");
  EXPECT_EQ(ini.ReadString("UpdateData", "Count"), "1");
  a = ReadManifestAnswer(500, AsBytes(""), ini);
  EXPECT_EQ(a.message, "请求失败，状态码：500");
  a = ReadManifestAnswer(200, AsBytes("<html></html>"), ini);
  EXPECT_FALSE(a.entries);
  EXPECT_EQ(a.message, "");
  a = ReadManifestAnswer(200, AsBytes("[UpdateData]\nCount=7\n"), ini);
  EXPECT_TRUE(a.entries);
  EXPECT_EQ(a.message, "");
  EXPECT_EQ(ini.ReadString("UpdateData", "Count"), "7");
}

TEST(ManifestIni, CaseInsensitiveLastWinsAbsentIsEmpty) {
  ManifestIni ini;
  EXPECT_EQ(ini.ReadString("UpdateData", "Count"), "");
  ini.WriteString("File_0", "FileMd5", "aa");
  ini.WriteString("FILE_0", "filemd5", "bb");
  EXPECT_EQ(ini.ReadString("file_0", "FILEMD5"), "bb");
  EXPECT_EQ(ini.Keys("File_0"), std::vector<std::string>{"FileMd5"});
  EXPECT_EQ(ini.ReadString("File_0", "LocalName"), "");
  EXPECT_EQ(ini.ReadString("File_1", "FileMd5"), "");
  EXPECT_TRUE(ini.HasSection("file_0"));
  EXPECT_FALSE(ini.HasSection("File_1"));
  ini.Clear();
  EXPECT_TRUE(ini.empty());
  EXPECT_EQ(ini.ReadString("File_0", "FileMd5"), "");
}

TEST(ManifestText, DecodesByTheFirstBytes) {
  EXPECT_EQ(DecodeManifestBody(AsBytes("\xEF\xBB\xBF中文")), "中文");
  EXPECT_EQ(DecodeManifestBody(AsBytes(Utf16Le("中文", true))), "中文");
  EXPECT_EQ(DecodeManifestBody(AsBytes(Utf8ToGbk("中文"))), "中文");
  EXPECT_EQ(DecodeManifestBody(AsBytes(std::string("[S]\na=1\0\nb=2", 12))), "[S]\na=1");
  // A lone trailing byte of UTF-16 is dropped; ill-formed UTF-8 becomes
  // U+FFFD.
  EXPECT_EQ(DecodeManifestBody(AsBytes(Utf16Le("ab", true) + "c")), "ab");
  EXPECT_EQ(DecodeManifestBody(AsBytes("\xEF\xBB\xBF"
                                       "a\xFF"
                                       "b")),
            "a\xEF\xBF\xBD"
            "b");
}

}  // namespace
}  // namespace lk
