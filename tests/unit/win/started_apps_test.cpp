// The started-client list and the close rule, with real processes: copies of
// the test tree's fake client under the names a player's folder may hold.
#include "launcher/StartedApps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/processes.h"
#include "tests/support/child_process_win.h"
#include "tests/support/temp_dir_win.h"

namespace lk {
namespace {

namespace fs = std::filesystem;

TEST(StartedAppsList, EntryFormatAndOnePerFileNameIgnoringCase) {
  TStartedApps apps;
  AddToStartedApps(apps, "game.exe", "D:\\Play\\game.exe");
  AddToStartedApps(apps, "game.exe", "D:\\Play\\game.exe");
  AddToStartedApps(apps, "GAME.EXE", "E:\\Other\\GAME.EXE");
  AddToStartedApps(apps, "mygame.exe", "D:\\Play\\mygame.exe");
  AddToStartedApps(apps, "游戏.exe", "D:\\游戏\\游戏.exe");
  AddToStartedApps(apps, "Ä.exe", "D:\\Ä.exe");
  AddToStartedApps(apps, "ä.EXE", "D:\\x\\ä.EXE");
  EXPECT_EQ(apps, (TStartedApps{"game.exe - D:\\Play\\game.exe", "mygame.exe - D:\\Play\\mygame.exe",
                                "游戏.exe - D:\\游戏\\游戏.exe", "Ä.exe - D:\\Ä.exe"}));
}

TEST(StartedAppsList, FileNameOfAnEntry) {
  const std::map<std::string, std::string> cases = {
      {"game.exe - D:\\Play\\game.exe", "game.exe"},      {"game.exe - D:/Play/game.exe", "game.exe"},
      {"game.exe - D:\\Play\\bin\\game.exe", "game.exe"}, {"a b.exe - C:\\x y\\a b.exe", "a b.exe"},
      {"game.exe - game.exe", "game.exe - game.exe"},  // no separator at all
  };
  for (const auto& [entry, name] : cases) EXPECT_EQ(StartedAppFileName(entry), name) << entry;
}

TEST(StartedAppsList, SameFileNameRule) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"game.exe", "game.exe", true},
      {"game.exe", "GAME.EXE", true},
      {"Game.Exe", "gAME.eXE", true},
      {"game.exe", "mygame.exe", false},
      {"game.exe", "game.exe.exe", false},
      {"game.exe", "game.ex", false},
      {"游戏.exe", "游戏.EXE", true},
      {"Ä.exe", "ä.exe", true},
      {"", "", true},
      {"game.exe", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(SameFileName(c.a, c.b), c.same) << c.a << " / " << c.b;
}

class CloseAllStartedAppsTest : public ::testing::Test {
 protected:
  // Copies the fake client to relative path `name` in the temp folder,
  // starts it and waits until it runs.
  test::Child Run(const std::string& name) {
    const fs::path exe = dir.path() / fs::path(Wide(name));
    fs::create_directories(exe.parent_path());
    fs::copy_file(test::HelperProgram("fakeclient.exe"), exe, fs::copy_options::overwrite_existing);
    const fs::path record = dir.path() / (L"record-" + std::to_wstring(++n_) + L".txt");
    test::Child c = test::Child::Start(exe, record);
    EXPECT_TRUE(c.started()) << name;
    EXPECT_TRUE(test::WaitForFile(record)) << name << " did not come up";
    return c;
  }
  std::string Path(const std::string& name) { return dir.File(name); }

  test::TempDir dir;
  int n_ = 0;
};

TEST_F(CloseAllStartedAppsTest, EndsExactNamesIgnoringCaseAndSparesNamesThatOnlyContainThem) {
  test::Child game = Run("game.exe");
  test::Child upper = Run("其他\\GAME.EXE");
  test::Child second = Run("第二\\game.exe");
  test::Child my = Run("mygame.exe");
  test::Child longer = Run("game.exe.exe");
  test::Child shorter = Run("ame.exe");

  // The system reports the name as the file has it, so the recorded
  // game.exe differs in letter case from the running GAME.EXE.
  int upperSeen = 0;
  for (const RunningProcess& p : RunningProcesses()) upperSeen += p.exeFile == "GAME.EXE";
  EXPECT_EQ(upperSeen, 1);

  TStartedApps apps;
  AddToStartedApps(apps, "game.exe", Path("game.exe"));
  EXPECT_EQ(CloseAllStartedApps(apps), 3);

  DWORD code = 99;
  EXPECT_TRUE(game.EndsWithin(5000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(upper.EndsWithin(5000));
  EXPECT_TRUE(second.EndsWithin(5000));
  EXPECT_FALSE(my.EndsWithin(300));
  EXPECT_FALSE(longer.EndsWithin(0));
  EXPECT_FALSE(shorter.EndsWithin(0));
}

TEST_F(CloseAllStartedAppsTest, EveryEntryCountsAndTheListStaysAsItWas) {
  test::Child a = Run("游戏客户端.exe");
  test::Child b = Run("b\\Client.EXE");
  test::Child other = Run("client2.exe");

  TStartedApps apps;
  AddToStartedApps(apps, "游戏客户端.exe", Path("游戏客户端.exe"));
  AddToStartedApps(apps, "client.exe", Path("client.exe"));
  AddToStartedApps(apps, "absent.exe", Path("absent.exe"));
  const TStartedApps before = apps;
  EXPECT_EQ(CloseAllStartedApps(apps), 2);
  EXPECT_EQ(apps, before);
  EXPECT_TRUE(a.EndsWithin(5000));
  EXPECT_TRUE(b.EndsWithin(5000));
  EXPECT_FALSE(other.EndsWithin(300));
}

TEST_F(CloseAllStartedAppsTest, EmptyListEndsNothing) {
  test::Child game = Run("game.exe");
  EXPECT_EQ(CloseAllStartedApps({}), 0);
  EXPECT_FALSE(game.EndsWithin(300));
}

TEST_F(CloseAllStartedAppsTest, NeverEndsTheLauncherItself) {
  // A client recorded under the launcher's own file name must not take the
  // launcher down in the middle of closing.
  const std::string self = StartedAppFileName(OwnExecutablePath());
  TStartedApps apps;
  AddToStartedApps(apps, self, "C:\\elsewhere\\" + self);
  EXPECT_EQ(CloseAllStartedApps(apps), 0);
}

TEST(RunningProcesses, SnapshotHoldsThisProcess) {
  bool found = false;
  for (const RunningProcess& p : RunningProcesses())
    if (p.id == OwnProcessId()) found = SameFileName(p.exeFile, "win_tests.exe");
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace lk
