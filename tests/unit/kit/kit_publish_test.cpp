// launcher-kit publish: a site it writes, read back the way the launcher's
// update run reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "core/manifest.h"
#include "core/safe_names.h"
#include "core/update_manifest.h"
#include "core/update_files.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/kit_run.h"
#include "tools/launcher_kit.h"

namespace lk::kit {
namespace {

using test::ReadTestFile;
using test::WriteTestFile;

using test::RunKit;

ManifestIni ReadSite(const std::string& manifest_path) {
  ManifestIni ini;
  EXPECT_TRUE(ReadManifestText(AsBytes(ReadTestFile(manifest_path)), ini));
  return ini;
}

// launcher folder + FileDir + LocalName, as the update run checks it, with
// the platform's separator.
std::string LocalPath(const std::string& root, const std::string& dir, const std::string& name) {
  return JoinPath(JoinPath(root, SafeRelativePath(dir, NameKind::kRelativeFolder, kPathSeparator)), name);
}

// The unpack target as the update run names it: launcher folder + FileDir
// exactly as written (here with the platform's separator).
std::string TargetFolder(const std::string& root, std::string dir) {
  std::replace(dir.begin(), dir.end(), '\\', kPathSeparator);
  return JoinPath(root, dir);
}

TEST(KitPublish, SiteUnpacksToFilesWhoseDigestsMatchTheManifest) {
  test::PortableTempDir dir;
  const std::string release = dir.File("release");
  const std::map<std::string, std::string> files = {
      {"登录器.exe", std::string("MZ launcher\0\x01\x02", 14)},
      {"登录器.inf", "[LoginData]\r\nUpDateSwitch=1\r\n"},
      {"readme.txt", "说明\r\n"},
      {"数据/a.dat", std::string(300000, 'a')},
      {"数据/子目录/b.bin", "b"},
      {"data/empty.bin", ""},
  };
  for (const auto& [name, content] : files) WriteTestFile(dir.File("release/" + name), content);
  WriteTestFile(dir.File("release/Config.ini"), "[Options]\r\n");
  WriteTestFile(dir.File("release/patcher.exe"), "patcher");
  WriteTestFile(dir.File("release/lk-digest.cache"), "a player's own cache");
  WriteTestFile(dir.File("release/Patch/old.zip"), "old");

  const test::KitResult r = RunKit({"publish", release, dir.File("site"), "--url", "http://127.0.0.1:8080/更新/",
                           "--remote-caption1", "远程协助", "--remote-path1", "tools\\a.exe"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("left out: Config.ini"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("left out: patcher.exe"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("left out: lk-digest.cache"), std::string::npos) << r.out;

  const ManifestIni ini = ReadSite(dir.File("site/update.ini"));
  EXPECT_EQ(ini.ReadString("UpdateData", "UpdateUrl"), "http://127.0.0.1:8080/更新/");
  EXPECT_EQ(ini.ReadString("UpdateData", "Remotebutton1"), "远程协助");
  EXPECT_EQ(ini.ReadString("UpdateData", "remotePath1"), "tools\\a.exe");
  EXPECT_EQ(ini.ReadString("UpdateData", "Remotebutton2"), "");
  EXPECT_EQ(ini.ReadString("UpdateData", "LoginName"), "登录器.exe");
  EXPECT_EQ(ini.ReadString("UpdateData", "ConfigName"), "登录器.inf");
  EXPECT_EQ(ini.ReadString("UpdateData", "Count"), "4");
  // The launcher's model of the manifest reads exactly what publish wrote,
  // and writes it back byte for byte.
  const UpdateManifest model = ReadUpdateManifest(ini);
  EXPECT_EQ(model.count, 4);
  ASSERT_EQ(model.files.size(), 4u);
  EXPECT_EQ(WriteUpdateManifest(model), ReadTestFile(dir.File("site/update.ini")));

  // A copy of the release as a player has it: older contents everywhere.
  const std::string player = dir.File("player");
  for (const auto& [name, content] : files) WriteTestFile(dir.File("player/" + name), "old " + content);

  // Launcher and configuration archives unpack into the launcher folder.
  ExtractPackage(JoinPath(dir.File("site"), ini.ReadString("UpdateData", "LoginDownloadName")), player);
  ExtractPackage(JoinPath(dir.File("site"), ini.ReadString("UpdateData", "ConfigDownloadName")), player);
  EXPECT_EQ(FileDigest(dir.File("player/登录器.exe")), ini.ReadString("UpdateData", "LoginVerificationCode"));
  EXPECT_EQ(FileDigest(JoinPath(player, ini.ReadString("UpdateData", "ConfigName"))),
            ini.ReadString("UpdateData", "ConfigVerificationCode"));

  std::set<std::string> listed;
  for (int i = 0; i < 4; ++i) {
    const std::string s = "File_" + std::to_string(i);
    const std::string file_dir = ini.ReadString(s, "FileDir"), local = ini.ReadString(s, "LocalName");
    ASSERT_FALSE(local.empty()) << s;
    ASSERT_EQ(file_dir.back(), '\\') << s;
    ExtractPackage(JoinPath(dir.File("site"), ini.ReadString(s, "GrobalName")),
                   TargetFolder(player, file_dir));
    const std::string path = LocalPath(player, file_dir, local);
    EXPECT_EQ(ini.ReadString(s, "FileMd5").size(), 64u);
    EXPECT_EQ(FileDigest(path), ini.ReadString(s, "FileMd5")) << s;
    listed.insert(path);
  }
  EXPECT_EQ(listed.size(), 4u);
  // Every file now equals the release's, and every archive was used up.
  for (const auto& [name, content] : files)
    EXPECT_EQ(ReadTestFile(dir.File("player/" + name)), content) << name;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(test::PathOf(dir.File("site"))),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(KitPublish, WithoutConfigurationOrWithSeveralExes) {
  test::PortableTempDir dir;
  WriteTestFile(dir.File("r1/Launcher.exe"), "L");
  WriteTestFile(dir.File("r1/Game.exe"), "G");
  // Two .exe, no .inf: the operator must say which is the launcher.
  test::KitResult r = RunKit({"publish", dir.File("r1"), dir.File("s1"), "--url", "http://h/"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("several .exe files"), std::string::npos) << r.err;
  r = RunKit({"publish", dir.File("r1"), dir.File("s1"), "--url", "http://h/", "--launcher", "Launcher.exe"});
  ASSERT_EQ(r.code, 0) << r.err;
  ManifestIni ini = ReadSite(dir.File("s1/update.ini"));
  EXPECT_EQ(ini.ReadString("UpdateData", "LoginName"), "Launcher.exe");
  EXPECT_EQ(ini.ReadString("UpdateData", "ConfigName"), "");
  EXPECT_EQ(ini.ReadString("UpdateData", "Count"), "1");
  EXPECT_EQ(ini.ReadString("File_0", "LocalName"), "Game.exe");
  EXPECT_EQ(ini.ReadString("File_0", "FileDir"), ".\\");
  // With an .inf beside one of them, that one is the launcher.
  WriteTestFile(dir.File("r1/Launcher.inf"), "[LoginData]\r\n");
  r = RunKit({"publish", dir.File("r1"), dir.File("s2"), "--url", "https://h/u/", "--manifest", "m.ini"});
  ASSERT_EQ(r.code, 0) << r.err;
  ini = ReadSite(dir.File("s2/m.ini"));
  EXPECT_EQ(ini.ReadString("UpdateData", "LoginName"), "Launcher.exe");
  EXPECT_EQ(ini.ReadString("UpdateData", "ConfigName"), "Launcher.inf");
}

struct ErrorCase {
  const char* what;
  std::vector<std::string> files;  // written into the release folder
  Args extra;
  int code;
  const char* message;
};

TEST(KitPublish, ClearErrors) {
  const ErrorCase cases[] = {
      {"missing release", {}, {}, 1, "does not exist"},
      {"empty release", {"<empty>"}, {}, 1, "holds no files to publish"},
      {"only left-out files", {"Config.ini", "Patch/a.zip"}, {}, 1, "holds no files to publish"},
      {"no launcher", {"data/a.dat"}, {}, 1, "has no launcher (.exe) at its top"},
      {"named launcher missing", {"a.exe"}, {"--launcher", "b.exe"}, 1, "has no launcher b.exe"},
      {"leading blank", {"a.exe", "data/ lead.txt"}, {}, 1, "cannot be served"},
#ifndef _WIN32
      // Names Windows itself refuses, made on Linux.
      {"device name", {"a.exe", "data/CON.txt"}, {}, 1, "cannot be served: reserved device name"},
      {"colon", {"a.exe", "a:b"}, {}, 1, "cannot be served: drive, stream or \":\""},
      {"backslash", {"a.exe", "x\\y.txt"}, {}, 1, "cannot be served"},
      {"trailing blank", {"a.exe", "x.txt "}, {}, 1, "cannot be served"},
      {"not UTF-8", {"a.exe", "\xB2\xE2.txt"}, {}, 1, "cannot be served: not UTF-8"},
#endif
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.what);
    test::PortableTempDir dir;
    const std::string release = dir.File("release");
    for (const std::string& f : c.files) {
      if (f == "<empty>")
        std::filesystem::create_directories(test::PathOf(release));
      else
        WriteTestFile(JoinPath(release, f), "x");
    }
    Args args = {"publish", release, dir.File("site"), "--url", "http://h/"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const test::KitResult r = RunKit(args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(PathExists(dir.File("site/update.ini")));
  }
}

TEST(KitPublish, UsageErrors) {
  test::PortableTempDir dir;
  WriteTestFile(dir.File("r/a.exe"), "a");
  const std::pair<Args, const char*> cases[] = {
      {{"publish", dir.File("r"), dir.File("s")}, "--url is required"},
      {{"publish", dir.File("r"), dir.File("s"), "--url", "http://h"}, "must end with \"/\""},
      {{"publish", dir.File("r"), dir.File("s"), "--url", "ftp://h/"}, "must begin with http://"},
      {{"publish", dir.File("r"), "--url", "http://h/"}, "expects a release folder and a site folder"},
      {{"publish", dir.File("r"), dir.File("s"), "--url"}, "--url needs a value"},
      {{"publish", dir.File("r"), dir.File("s"), "--url", "http://h/", "--bogus"}, "unknown option --bogus"},
  };
  for (const auto& [args, message] : cases) {
    const test::KitResult r = RunKit(args);
    EXPECT_EQ(r.code, 2) << message;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Usage: launcher-kit publish"), std::string::npos);
  }
  // A site inside the release would publish itself next time.
  const test::KitResult r = RunKit({"publish", dir.File("r"), dir.File("r/site"), "--url", "http://h/"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("must not lie inside the release folder"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace lk::kit
