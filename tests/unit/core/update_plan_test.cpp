#include "core/update_plan.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/error.h"

namespace lk {
namespace {

const std::string kFolder = "C:\\Game\\";
const std::string kExe = "C:\\Game\\Launcher.exe";

// A manifest as "Section/Key" -> value, and the local files' digests.
struct Fixture {
  std::map<std::string, std::string> manifest;
  std::map<std::string, std::string> files;
  std::vector<std::string> hashed;  // the paths asked for, in order

  std::vector<TParamPair> Plan() {
    return BuildPatchList(
        [this](const std::string& s, const std::string& k) {
          auto it = manifest.find(s + "/" + k);
          return it == manifest.end() ? std::string() : it->second;
        },
        kExe, kFolder,
        [this](const std::vector<std::string>& paths) {
          hashed = paths;
          std::vector<std::string> out;
          for (const auto& p : paths) out.push_back(files.count(p) ? files[p] : "");
          return out;
        });
  }
};

Fixture UpToDate() {
  Fixture f;
  f.manifest = {{"UpdateData/LoginVerificationCode", "aa"}, {"UpdateData/LoginDownloadName", "L.zip"},
                {"UpdateData/ConfigName", "Launcher.inf"},   {"UpdateData/ConfigVerificationCode", "cc"},
                {"UpdateData/ConfigDownloadName", "C.zip"},   {"UpdateData/Count", "2"},
                {"File_0/FileDir", ".\\data\\"},              {"File_0/LocalName", "a.dat"},
                {"File_0/FileMd5", "d0"},                     {"File_0/GrobalName", "a.zip"},
                {"File_1/FileDir", "bin\\"},                  {"File_1/LocalName", "b.dll"},
                {"File_1/FileMd5", "d1"},                     {"File_1/GrobalName", "b.zip"}};
  f.files = {{kExe, "aa"},
             {kFolder + "Launcher.inf", "cc"},
             {kFolder + "data\\a.dat", "d0"},
             {kFolder + "bin\\b.dll", "d1"}};
  return f;
}

TEST(BuildPatchList, NothingListedWhenAllDigestsMatch) {
  Fixture f = UpToDate();
  EXPECT_TRUE(f.Plan().empty());
  // The digest path drops ".\"; all files are asked for in one batch.
  EXPECT_EQ(f.hashed, (std::vector<std::string>{kExe, kFolder + "Launcher.inf", kFolder + "data\\a.dat",
                                                  kFolder + "bin\\b.dll"}));
}

TEST(BuildPatchList, ListsLauncherThenConfigurationThenFilesInIndexOrder) {
  Fixture f = UpToDate();
  f.files[kExe] = "old";
  f.files.erase(kFolder + "Launcher.inf");
  f.files[kFolder + "bin\\b.dll"] = "old";
  f.files[kFolder + "data\\a.dat"] = "old";
  EXPECT_EQ(f.Plan(), (std::vector<TParamPair>{{"L.zip", kFolder, kLauncherArchive},
                                               {"C.zip", kFolder, kConfigArchive},
                                               // The target keeps FileDir as written.
                                               {"a.zip", kFolder + ".\\data\\", kFileArchive},
                                               {"b.zip", kFolder + "bin\\", kFileArchive}}));
}

TEST(BuildPatchList, CountAndMissingKeys) {
  // Count not a number (absent included) ends the plan with the number error.
  for (const char* count : {"", "abc", "2x"}) {
    Fixture f = UpToDate();
    f.manifest["UpdateData/Count"] = count;
    EXPECT_THROW(f.Plan(), ConversionError) << count;
  }
  // Count 0 or negative: only launcher and configuration are considered.
  for (const char* count : {"0", "-3"}) {
    Fixture f = UpToDate();
    f.manifest["UpdateData/Count"] = count;
    f.files[kFolder + "bin\\b.dll"] = "old";
    EXPECT_TRUE(f.Plan().empty()) << count;
    EXPECT_EQ(f.hashed.size(), 2u);
  }
  // File_5 is never read with Count 5; an index without a section lists
  // nothing (its empty digest equals the empty FileMd5).
  {
    Fixture f = UpToDate();
    f.manifest["UpdateData/Count"] = "5";
    f.manifest["File_5/GrobalName"] = "never.zip";
    f.manifest["File_5/FileMd5"] = "x";
    EXPECT_TRUE(f.Plan().empty());
    EXPECT_EQ(f.hashed.size(), 7u);
  }
  // No LoginVerificationCode: the launcher is listed every time.
  {
    Fixture f = UpToDate();
    f.manifest.erase("UpdateData/LoginVerificationCode");
    ASSERT_EQ(f.Plan().size(), 1u);
    EXPECT_EQ(f.Plan()[0].Param3, kLauncherArchive);
  }
  // No ConfigName and no ConfigVerificationCode: the folder's "digest" is
  // empty and equals the empty code. ConfigName naming a missing file lists it.
  {
    Fixture f = UpToDate();
    f.manifest.erase("UpdateData/ConfigName");
    f.manifest.erase("UpdateData/ConfigVerificationCode");
    EXPECT_TRUE(f.Plan().empty());
    f.manifest["UpdateData/ConfigName"] = "gone.inf";
    f.manifest["UpdateData/ConfigVerificationCode"] = "cc";
    ASSERT_EQ(f.Plan().size(), 1u);
    EXPECT_EQ(f.Plan()[0].Param3, kConfigArchive);
  }
}

TEST(PathSafety, ItemNamesAndFolders) {
  const std::pair<const char*, bool> names[] = {
      {"L.zip", true},     {"补丁 1.zip", true}, {"", false},          {".", false},
      {"..", false},       {"..\\x.zip", false}, {"a/b.zip", false},   {"a\\b.zip", false},
      {"C:x.zip", false},  {"CON", false},       {"nul.zip", false},   {"Com1.zip", false},
      {"lpt9", false},     {"com10.zip", true},  {"console.zip", true}, {"a\tb.zip", false},
      {"...", false},      {". .", false}};
  for (const auto& [name, ok] : names) EXPECT_EQ(IsSafeItemName(name), ok) << name;

  const std::pair<const char*, bool> folders[] = {
      {"", true},           {".\\data\\", true},      {"data\\sub\\", true},    {"data/sub/", true},
      {"..\\", false},      {".\\..\\x\\", false},    {"data\\..\\..\\", false}, {"\\abs\\", false},
      {"/abs/", false},     {"C:\\Windows\\", false}, {"C:rel\\", false},       {"\\\\server\\share\\", false},
      {"aux\\", false},     {"data\\nul.txt\\", false}, {"...\\", false},
      {". .\\", false},    {"a.\\b\\", true}};
  for (const auto& [folder, ok] : folders) EXPECT_EQ(IsSafeRelativeFolder(folder), ok) << folder;
}

TEST(PatcherParameters, QuotesAndExtensionRule) {
  EXPECT_EQ(PatcherParameters("Game.EXE", "C:\\G\\", "L.zip", "Game.exe"),
            "\"Game.exe\" \"C:\\G\\Patch\\L.zip\" \"Game.exe\"");
  EXPECT_EQ(PatcherParameters("noext", "D:\\新 游戏\\", "L 2.zip", ""),
            "\"noext.exe\" \"D:\\新 游戏\\Patch\\L 2.zip\" \"\"");
  EXPECT_EQ(PatcherParameters("my.launcher.bin", "C:\\", "x", "y"), "\"my.launcher.exe\" \"C:\\Patch\\x\" \"y\"");
}

}  // namespace
}  // namespace lk
