// The desktop shortcut against Wine's real shell-link object, on the private
// HOME's desktop that the test harness sets up.
#include "platform/shortcut.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/error.h"
#include "platform/handles.h"
#include "platform/processes.h"
#include "platform/self_path.h"
#include "platform/text.h"
#include "tests/support/child_process_win.h"
#include "tests/support/temp_dir_win.h"

namespace lk {
namespace {

namespace fs = std::filesystem;

fs::path Desktop() { return fs::path(Wide(SpecialFolderPath(kDesktopDirectoryFolder))); }

// A shortcut file on the desktop, removed at the end of the test.
struct DesktopFile {
  explicit DesktopFile(const std::string& name) : path(Desktop() / Wide(name + ".lnk")) {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  ~DesktopFile() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string Utf8() const { return Narrow(path.wstring()); }
  fs::path path;
};

std::string UniqueName(const char* stem) { return std::string(stem) + "-" + std::to_string(OwnProcessId()); }

void ExpectPointsAt(const DesktopFile& lnk, const std::string& exe) {
  ASSERT_TRUE(fs::is_regular_file(lnk.path)) << lnk.Utf8();
  const ShortcutInfo info = ReadShortcut(lnk.Utf8());
  EXPECT_TRUE(SameFileName(info.target, exe)) << info.target << " vs " << exe;
  EXPECT_TRUE(SameFileName(info.iconPath, exe)) << info.iconPath;
  EXPECT_EQ(info.iconIndex, 0);
  EXPECT_EQ(info.arguments, "");
  EXPECT_EQ(info.workingFolder, "");
}

TEST(SelfShortcut, DesktopFolderIsKnown) {
  EXPECT_FALSE(SpecialFolderPath(kDesktopDirectoryFolder).empty());
  EXPECT_TRUE(fs::is_directory(Desktop())) << Desktop();
}

TEST(SelfShortcut, WritesShortcutToTheRunningExecutable) {
  const std::string name = UniqueName("登录器 测试");
  DesktopFile lnk(name);
  CreateSelfShortcut(name, kDesktopDirectoryFolder);
  ExpectPointsAt(lnk, OwnExecutablePath());
}

// The launcher makes the object on a worker, learns of its errors, and
// saves it there later: nothing may be written before the save.
TEST(SelfShortcut, InHalvesOnAnotherThreadWritesOnlyOnSave) {
  const std::string name = UniqueName("halves");
  DesktopFile lnk(name);
  std::thread([&] {
    SelfShortcut shortcut(name, kDesktopDirectoryFolder);
    EXPECT_FALSE(fs::exists(lnk.path));
    shortcut.Save();
  }).join();
  ExpectPointsAt(lnk, OwnExecutablePath());
}

TEST(SelfShortcut, OverwritesAnOlderFileOfTheSameName) {
  const std::string name = UniqueName("overwrite");
  DesktopFile lnk(name);
  std::ofstream(lnk.path, std::ios::binary) << "not a shortcut";
  CreateSelfShortcut(name, kDesktopDirectoryFolder);
  ExpectPointsAt(lnk, OwnExecutablePath());
}

TEST(SelfShortcut, FailedSaveIsSilent) {
  const std::string name = UniqueName("blocked");
  DesktopFile lnk(name);
  fs::create_directory(lnk.path);  // a folder where the file would go
  EXPECT_NO_THROW(CreateSelfShortcut(name, kDesktopDirectoryFolder));
  EXPECT_TRUE(fs::is_directory(lnk.path));
}

TEST(SelfShortcut, UnknownFolderWritesNothingAndIsSilent) {
  const std::string name = UniqueName("nofolder");
  EXPECT_NO_THROW(CreateSelfShortcut(name, 0x7F));
  EXPECT_FALSE(fs::exists(fs::current_path() / Wide(name + ".lnk")));
}

TEST(SelfShortcut, ComThatCannotBeInitialisedRaises) {
  // A thread already in the multithreaded apartment cannot enter a
  // single-threaded one: CoInitialize fails there.
  const std::string name = UniqueName("mta");
  DesktopFile lnk(name);
  bool threw = false;
  std::thread t([&] {
    ComInit mta(ComInit::kMultiThreaded);
    ASSERT_TRUE(SUCCEEDED(mta.result()));
    try {
      CreateSelfShortcut(name, kDesktopDirectoryFolder);
    } catch (const Error& e) {
      threw = true;
      EXPECT_STRNE(e.what(), "");
    }
  });
  t.join();
  EXPECT_TRUE(threw);
  EXPECT_FALSE(fs::exists(lnk.path));
}

TEST(SelfShortcut, LeavesTheCallersComInitialisationInPlace) {
  // The window's thread has COM initialised already (the web panels); the
  // shortcut must undo only its own initialisation.
  const std::string name = UniqueName("sta");
  DesktopFile lnk(name);
  std::thread t([&] {
    ComInit sta;
    ASSERT_EQ(sta.result(), S_OK);
    CreateSelfShortcut(name, kDesktopDirectoryFolder);
    // Still initialised: a further initialisation only counts up.
    ComInit again;
    EXPECT_EQ(again.result(), S_FALSE);
  });
  t.join();
  ExpectPointsAt(lnk, OwnExecutablePath());
}

TEST(SelfShortcut, RenamedLauncherWritesAShortcutOfItsOwnName) {
  test::TempDir dir;
  for (const std::string& stem : {UniqueName("Game Start"), UniqueName("新登录器")}) {
    const fs::path exe = dir.path() / Wide(stem + ".exe");
    fs::copy_file(test::HelperProgram("shortcut_writer.exe"), exe);
    DesktopFile lnk(stem);
    test::Child writer = test::Child::Start(exe, dir.path() / "unused.txt");
    ASSERT_TRUE(writer.started());
    DWORD code = 99;
    ASSERT_TRUE(writer.EndsWithin(30000, &code));
    EXPECT_EQ(code, 0u);
    ExpectPointsAt(lnk, Narrow(exe.wstring()));
  }
}

}  // namespace
}  // namespace lk
