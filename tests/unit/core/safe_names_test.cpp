#include "core/safe_names.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"

namespace lk {
namespace {

constexpr NameKind kFile = NameKind::kFileName;
constexpr NameKind kFolder = NameKind::kRelativeFolder;
constexpr NameKind kPath = NameKind::kRelativePath;

struct Case {
  std::string name;
  NameKind kind;
  // What SafeRelativePath gives with "|" as separator; nullptr: refused.
  const char* joined;
};

std::string Repeat(const std::string& s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

// Every name that reaches the file system passes this one rule: item names
// in the Patch folder, FileDir, LocalName, ZIP entries and the names
// publish writes.
const Case kCases[] = {
    // Ordinary names.
    {"a.zip", kFile, "a.zip"},
    {"补丁 1.zip", kFile, "补丁 1.zip"},
    {"..a", kFile, "..a"},
    {"a.txt", kPath, "a.txt"},
    {"数据/说明.txt", kPath, "数据|说明.txt"},
    {"数据\\子目录\\a.dat", kPath, "数据|子目录|a.dat"},
    {"./a/./b", kPath, "a|b"},
    {"a//b", kPath, "a|b"},
    {"..a/b..c", kPath, "..a|b..c"},
    {"", kFolder, ""},
    {".\\", kFolder, ""},
    {".", kFolder, ""},
    {".\\data\\", kFolder, "data"},
    {"data/sub/", kFolder, "data|sub"},
    {"dir/", kFolder, "dir"},
    // Names that only look like devices.
    {"CONSOLE.txt", kPath, "CONSOLE.txt"},
    {"COM10", kFile, "COM10"},
    {"com10.zip", kFile, "com10.zip"},
    {"nul_file", kPath, "nul_file"},
    {"LPT", kFile, "LPT"},
    {"COMx", kFile, "COMx"},
    {"CONIN", kFile, "CONIN"},
    // Empty and nothing but dots.
    {"", kFile, nullptr},
    {"", kPath, nullptr},
    {".", kFile, nullptr},
    {"..", kFile, nullptr},
    {"...", kFile, nullptr},
    {". .", kFile, nullptr},
    {".", kPath, nullptr},
    {"./", kPath, nullptr},
    {"dir/", kPath, nullptr},
    {"/", kPath, nullptr},
    // Leaving the folder.
    {"../evil.txt", kPath, nullptr},
    {"..\\evil.txt", kPath, nullptr},
    {"a/../../evil.txt", kPath, nullptr},
    {"a\\..\\..", kPath, nullptr},
    {"..\\", kFolder, nullptr},
    {".\\..\\x\\", kFolder, nullptr},
    {"data\\..\\..\\", kFolder, nullptr},
    {"..\\x.zip", kFile, nullptr},
    // Absolute, drive, UNC, streams.
    {"/etc/passwd", kPath, nullptr},
    {"\\evil.txt", kPath, nullptr},
    {"\\abs\\", kFolder, nullptr},
    {"C:\\evil.txt", kPath, nullptr},
    {"C:evil.txt", kPath, nullptr},
    {"c:/evil.txt", kPath, nullptr},
    {"C:\\Windows\\", kFolder, nullptr},
    {"C:x.zip", kFile, nullptr},
    {"\\\\server\\share\\evil.txt", kPath, nullptr},
    {"//server/share/evil.txt", kPath, nullptr},
    {"a:b", kPath, nullptr},
    {"file.txt:stream", kPath, nullptr},
    {"a.zip:$DATA", kFile, nullptr},
    // A separator inside an item name.
    {"a/b.zip", kFile, nullptr},
    {"a\\b.zip", kFile, nullptr},
    // Device names, with extensions, blanks before the dot, any case.
    {"CON", kPath, nullptr},
    {"con.txt", kPath, nullptr},
    {"data/NUL", kPath, nullptr},
    {"Aux.ini", kPath, nullptr},
    {"prn", kFile, nullptr},
    {"COM1", kFile, nullptr},
    {"COM0", kFile, nullptr},
    {"lpt9.log", kPath, nullptr},
    {"LPT0.zip", kFile, nullptr},
    {"CON .txt", kPath, nullptr},
    {"CONIN$", kFile, nullptr},
    {"conout$.log", kFile, nullptr},
    {"COM\xC2\xB9", kPath, nullptr},
    {"lpt\xC2\xB2.txt", kFile, nullptr},
    {"COM\xC2\xB3", kFile, nullptr},
    {"aux\\", kFolder, nullptr},
    {"data\\nul.txt\\", kFolder, nullptr},
    // Characters Windows refuses.
    {"a\x01z", kPath, nullptr},
    {"a\tb.zip", kFile, nullptr},
    {"a?b", kPath, nullptr},
    {"a*b", kPath, nullptr},
    {"a|b", kPath, nullptr},
    {"a<b", kPath, nullptr},
    {"a>b", kFile, nullptr},
    {"a\"b", kPath, nullptr},
    // Trailing dots and blanks, which Windows drops.
    {"dir./x", kPath, nullptr},
    {"name ", kPath, nullptr},
    {"a.\\b\\", kFolder, nullptr},
    {"...\\", kFolder, nullptr},
    {". .\\", kFolder, nullptr},
    // Lengths: 255 UTF-16 units per name are allowed, not one more; a
    // Chinese character is one unit, a character above U+FFFF two.
    {Repeat("a", 255), kFile, "ok"},
    {Repeat("a", 256), kFile, nullptr},
    {Repeat("游", 255), kFile, "ok"},
    {Repeat("游", 256), kFile, nullptr},
    {Repeat("\xF0\x9F\x8E\xAE", 127) + "a", kFile, "ok"},
    {Repeat("\xF0\x9F\x8E\xAE", 128), kFile, nullptr},
    {Repeat("a", 100000), kFile, nullptr},
    {Repeat("abc\\", 10000) + "x", kPath, nullptr},
    // Not UTF-8.
    {"\xB2\xB9\xB6\xA1.zip", kFile, nullptr},
};

TEST(SafeNames, OneRuleForEveryName) {
  for (const Case& c : kCases) {
    const std::string shown = c.name.size() > 40 ? c.name.substr(0, 40) + "..." : c.name;
    SCOPED_TRACE(shown + " as kind " + std::to_string(static_cast<int>(c.kind)));
    const std::string why = NameProblem(c.name, c.kind);
    if (c.joined == nullptr) {
      EXPECT_FALSE(why.empty());
      EXPECT_FALSE(IsSafeName(c.name, c.kind));
      try {
        SafeRelativePath(c.name, c.kind, '|');
        ADD_FAILURE() << "accepted";
      } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("unsafe name"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
      }
    } else {
      EXPECT_EQ(why, "");
      if (std::string(c.joined) != "ok") {
        EXPECT_EQ(SafeRelativePath(c.name, c.kind, '|'), c.joined);
      }
    }
  }
}

TEST(SafeNames, ReasonsNameTheFault) {
  EXPECT_EQ(NameProblem("../x", kPath), "\"..\" segment");
  EXPECT_EQ(NameProblem("nul.zip", kFile), "reserved device name");
  EXPECT_EQ(NameProblem("C:x", kPath), "drive, stream or \":\"");
  EXPECT_EQ(NameProblem(Repeat("a", 300), kFile), "name too long");
}

}  // namespace
}  // namespace lk
