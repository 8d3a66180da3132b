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

  UpdateManifest Model() const {
    ManifestIni store;
    for (const auto& [where, value] : manifest) {
      const std::size_t slash = where.find('/');
      store.WriteString(where.substr(0, slash), where.substr(slash + 1), value);
    }
    return ReadUpdateManifest(store);
  }
  UpdatePlan Plan() {
    return PlanUpdate(Model(), kExe, kFolder, [this](const std::vector<std::string>& paths) {
      hashed = paths;
      std::vector<std::string> out;
      for (const auto& p : paths) out.push_back(files.count(p) ? files[p] : "");
      return out;
    });
  }
  std::vector<TParamPair> List() {
    std::vector<TParamPair> out;
    for (const PatchItem& i : Plan().items) out.push_back(i.pair);
    return out;
  }
};

Fixture UpToDate() {
  Fixture f;
  f.manifest = {{"UpdateData/LoginVerificationCode", "aa"}, {"UpdateData/LoginDownloadName", "L.zip"},
                {"UpdateData/LoginName", "Launcher.exe"},    {"UpdateData/ConfigName", "Launcher.inf"},
                {"UpdateData/ConfigVerificationCode", "cc"}, {"UpdateData/ConfigDownloadName", "C.zip"},
                {"UpdateData/Count", "2"},                   {"File_0/FileDir", ".\\data\\"},
                {"File_0/LocalName", "a.dat"},               {"File_0/FileMd5", "d0"},
                {"File_0/GrobalName", "a.zip"},              {"File_1/FileDir", "bin\\"},
                {"File_1/LocalName", "b.dll"},               {"File_1/FileMd5", "d1"},
                {"File_1/GrobalName", "b.zip"}};
  f.files = {{kExe, "aa"},
             {kFolder + "Launcher.inf", "cc"},
             {kFolder + "data\\a.dat", "d0"},
             {kFolder + "bin\\b.dll", "d1"}};
  return f;
}

TEST(PlanUpdate, NothingListedWhenAllDigestsMatch) {
  Fixture f = UpToDate();
  const UpdatePlan plan = f.Plan();
  EXPECT_TRUE(plan.items.empty());
  EXPECT_TRUE(plan.refused.empty());
  // The digest path drops ".\"; all files are asked for in one batch.
  EXPECT_EQ(f.hashed, (std::vector<std::string>{kExe, kFolder + "Launcher.inf", kFolder + "data\\a.dat",
                                                  kFolder + "bin\\b.dll"}));
}

TEST(PlanUpdate, ListsLauncherThenConfigurationThenFilesInIndexOrder) {
  Fixture f = UpToDate();
  f.files[kExe] = "old";
  f.files.erase(kFolder + "Launcher.inf");
  f.files[kFolder + "bin\\b.dll"] = "old";
  f.files[kFolder + "data\\a.dat"] = "old";
  const UpdatePlan plan = f.Plan();
  ASSERT_EQ(plan.items.size(), 4u);
  EXPECT_EQ(plan.items[0], (PatchItem{{"L.zip", kFolder, kLauncherArchive}, "", "Launcher.exe", kExe, "aa"}));
  EXPECT_EQ(plan.items[1],
            (PatchItem{{"C.zip", kFolder, kConfigArchive}, "", "Launcher.inf", kFolder + "Launcher.inf", "cc"}));
  // The target folder keeps FileDir as written; the check names the file
  // inside it.
  EXPECT_EQ(plan.items[2], (PatchItem{{"a.zip", kFolder + ".\\data\\", kFileArchive},
                                      ".\\data\\",
                                      "a.dat",
                                      kFolder + "data\\a.dat",
                                      "d0"}));
  EXPECT_EQ(plan.items[3].pair, (TParamPair{"b.zip", kFolder + "bin\\", kFileArchive}));
  EXPECT_EQ(plan.Find(kConfigArchive), &plan.items[1]);
}

TEST(PlanUpdate, CountRules) {
  // Count not a number (absent included) ends the plan with the number error.
  for (const char* count : {"", "abc", "2x"}) {
    Fixture f = UpToDate();
    f.manifest["UpdateData/Count"] = count;
    EXPECT_FALSE(f.Model().count.has_value()) << count;
    EXPECT_THROW(f.Plan(), ConversionError) << count;
  }
  // Count 0 or negative: only launcher and configuration are considered.
  for (const char* count : {"0", "-3"}) {
    Fixture f = UpToDate();
    f.manifest["UpdateData/Count"] = count;
    f.files[kFolder + "bin\\b.dll"] = "old";
    EXPECT_TRUE(f.List().empty()) << count;
    EXPECT_EQ(f.hashed.size(), 2u);
  }
  // File_5 is never read with Count 5; indices without a section list
  // nothing, so they are not even hashed.
  {
    Fixture f = UpToDate();
    f.manifest["UpdateData/Count"] = "5";
    f.manifest["File_5/GrobalName"] = "never.zip";
    f.manifest["File_5/FileMd5"] = "x";
    EXPECT_TRUE(f.List().empty());
    EXPECT_EQ(f.hashed.size(), 4u);
  }
  // A huge Count costs only what the manifest holds.
  {
    Fixture f = UpToDate();
    f.manifest["UpdateData/Count"] = "2000000000";
    EXPECT_TRUE(f.List().empty());
    EXPECT_EQ(f.hashed.size(), 4u);
  }
  // Section names match without regard to case; a leading zero is another
  // name, as "File_" + i never has one.
  {
    Fixture f = UpToDate();
    f.manifest["UpdateData/Count"] = "3";
    for (const char* key : {"FileDir", "LocalName", "FileMd5", "GrobalName"}) {
      f.manifest[std::string("file_2/") + key] = key;
      f.manifest[std::string("File_01/") + key] = key;
    }
    f.manifest["file_2/FileDir"] = "x\\";
    EXPECT_EQ(f.List(), (std::vector<TParamPair>{{"GrobalName", kFolder + "x\\", kFileArchive}}));
    EXPECT_EQ(f.hashed.size(), 5u);
  }
}

TEST(PlanUpdate, MissingKeys) {
  // No LoginVerificationCode: the launcher is listed every time.
  {
    Fixture f = UpToDate();
    f.manifest.erase("UpdateData/LoginVerificationCode");
    ASSERT_EQ(f.List().size(), 1u);
    EXPECT_EQ(f.List()[0].Param3, kLauncherArchive);
  }
  // No ConfigName and no ConfigVerificationCode: the folder's "digest" is
  // empty and equals the empty code. ConfigName naming a missing file lists it.
  {
    Fixture f = UpToDate();
    f.manifest.erase("UpdateData/ConfigName");
    f.manifest.erase("UpdateData/ConfigVerificationCode");
    EXPECT_TRUE(f.List().empty());
    f.manifest["UpdateData/ConfigName"] = "gone.inf";
    f.manifest["UpdateData/ConfigVerificationCode"] = "cc";
    ASSERT_EQ(f.List().size(), 1u);
    EXPECT_EQ(f.List()[0].Param3, kConfigArchive);
  }
  // A published digest for a file the manifest does not name can never be
  // met: refused instead of fetched at every start.
  {
    Fixture f = UpToDate();
    f.manifest.erase("UpdateData/ConfigName");
    const UpdatePlan plan = f.Plan();
    EXPECT_TRUE(plan.items.empty());
    EXPECT_EQ(plan.refused, (std::vector<RefusedItem>{{"C.zip", "no local file name"}}));
  }
  // A FileDir without its final "\" still names a folder.
  {
    Fixture f = UpToDate();
    f.manifest["File_1/FileDir"] = "bin";
    EXPECT_TRUE(f.List().empty());
  }
}

TEST(PlanUpdate, UnsafeNamesAreSetAsideWithTheirReason) {
  Fixture f = UpToDate();
  f.manifest["UpdateData/Count"] = "4";
  // A local folder that climbs out is never read.
  f.manifest["File_2/FileDir"] = "..\\outside\\";
  f.manifest["File_2/LocalName"] = "x.dat";
  f.manifest["File_2/FileMd5"] = "d2";
  f.manifest["File_2/GrobalName"] = "x.zip";
  // An archive name that climbs out of the Patch folder, on a file that differs.
  f.manifest["File_3/FileDir"] = "";
  f.manifest["File_3/LocalName"] = "y.dat";
  f.manifest["File_3/FileMd5"] = "d3";
  f.manifest["File_3/GrobalName"] = "..\\y.zip";
  // An unsafe archive name on a file that is current does no harm.
  f.manifest["File_1/GrobalName"] = "nul.zip";
  const UpdatePlan plan = f.Plan();
  EXPECT_TRUE(plan.items.empty());
  EXPECT_EQ(plan.refused, (std::vector<RefusedItem>{{"..\\outside\\", "\"..\" segment"},
                                                    {"..\\y.zip", "folder separator in a file name"}}));
  for (const std::string& p : f.hashed) EXPECT_EQ(p.find("outside"), std::string::npos) << p;

  // The program the patcher is to start must stay in the launcher folder.
  Fixture g = UpToDate();
  g.files[kExe] = "old";
  g.manifest["UpdateData/LoginName"] = "C:\\Windows\\evil.exe";
  const UpdatePlan p2 = g.Plan();
  EXPECT_TRUE(p2.items.empty());
  ASSERT_EQ(p2.refused.size(), 1u);
  EXPECT_EQ(p2.refused[0].name, "L.zip");
  EXPECT_EQ(p2.refused[0].reason.rfind("LoginName: ", 0), 0u) << p2.refused[0].reason;
}

TEST(UpdateFailureText, NamesTheFirstAndCountsTheRest) {
  EXPECT_EQ(UpdateFailureText({}), "");
  EXPECT_EQ(UpdateFailureText({{"file_0.zip", "HTTP 404"}}), "更新失败：file_0.zip（HTTP 404）");
  EXPECT_EQ(UpdateFailureText({{"a.zip", "解压失败"}, {"b.zip", "连接中断"}, {"c.zip", "文件校验失败"}}),
            "更新失败：a.zip（解压失败）等 3 项");
  // A long name is cut, never inside a character.
  std::string name;
  for (int i = 0; i < 100; ++i) name += "补";
  const std::string text = UpdateFailureText({{name, "名称不安全"}});
  EXPECT_LT(text.size(), 140u);
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_NE(text.find("…（名称不安全）"), std::string::npos);
}

TEST(PatcherParameters, QuotesAndExtensionRule) {
  EXPECT_EQ(PatcherParameters("Game.EXE", "C:\\G\\", "L.zip", "Game.exe"),
            "\"Game.exe\" \"C:\\G\\Patch\\L.zip\" \"Game.exe\"");
  EXPECT_EQ(PatcherParameters("noext", "D:\\新 游戏\\", "L 2.zip", ""),
            "\"noext.exe\" \"D:\\新 游戏\\Patch\\L 2.zip\" \"\"");
  EXPECT_EQ(PatcherParameters("my.launcher.bin", "C:\\", "x", "y"), "\"my.launcher.exe\" \"C:\\Patch\\x\" \"y\"");
  // The new launcher's digest travels as a fourth argument.
  EXPECT_EQ(PatcherParameters("Game.exe", "C:\\G\\", "L.zip", "Game.exe", "ab12"),
            "\"Game.exe\" \"C:\\G\\Patch\\L.zip\" \"Game.exe\" \"ab12\"");
}

}  // namespace
}  // namespace lk
