// Starting the shield with the test tree's vendor libraries, loaded for real
// from a launcher folder of their own.
#include "launcher/Shield.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/error.h"
#include "platform/text.h"
#include "tests/support/child_process_win.h"
#include "tests/support/sample_bytes.h"
#include "tests/support/temp_dir_win.h"

namespace lk {
namespace {

namespace fs = std::filesystem;

// An export of a test library, by name; nullptr when it is not there.
template <typename Fn>
Fn Export(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

class ShieldTest : public ::testing::Test {
 protected:
  ~ShieldTest() override {
    SetEnvironmentVariableW(L"LK_SHIELD_RESULT", nullptr);
    // A started shield stays loaded by design; the test lets it go so that
    // its folder can be removed.
    if (HMODULE m = GetModuleHandleW(LibraryPath().c_str())) FreeLibrary(m);
  }

  std::string Folder() const { return Narrow(dir.path().wstring()) + "\\"; }
  fs::path LibraryPath() const { return dir.path() / L"clinkAPI.dll"; }

  void WriteSettings(const std::string& bytes) {
    std::ofstream(dir.path() / L"Shield.rc", std::ios::binary) << bytes;
  }
  void InstallVendor(int vendor) {
    fs::copy_file(test::HelperProgram("shield_vendor" + std::to_string(vendor) + ".dll"), LibraryPath(),
                  fs::copy_options::overwrite_existing);
  }
  void ChooseResult(int result) {
    SetEnvironmentVariableW(L"LK_SHIELD_RESULT", std::to_wstring(result).c_str());
  }

  TShieldStart Open(std::int32_t cloudShieldSwitch) {
    messages.clear();
    return OpenShield(Folder(), cloudShieldSwitch, [this](const std::string& m) { messages.push_back(m); });
  }

  bool Loaded() const { return GetModuleHandleW(LibraryPath().c_str()) != nullptr; }

  // What the loaded test library was called with.
  std::string LastKey() const {
    HMODULE m = GetModuleHandleW(LibraryPath().c_str());
    auto fn = Export<const char* (*)()>(m, "ShieldTestLastKey");
    return fn ? fn() : "(not loaded)";
  }
  int Calls() const {
    HMODULE m = GetModuleHandleW(LibraryPath().c_str());
    auto fn = Export<int (*)()>(m, "ShieldTestCalls");
    return fn ? fn() : -1;
  }

  test::TempDir dir;
  std::vector<std::string> messages;
};

TEST_F(ShieldTest, SwitchZeroOrBelowLooksAtNothing) {
  for (int sw : {0, -1}) {
    const TShieldStart s = Open(sw);
    EXPECT_FALSE(s.Started);
    EXPECT_EQ(s.hModule, 0u);
    EXPECT_TRUE(messages.empty()) << sw;  // the missing files went unnoticed
  }
}

TEST_F(ShieldTest, MissingSettingsFileIsNamedInFull) {
  InstallVendor(1);
  const TShieldStart s = Open(1);
  EXPECT_FALSE(s.Started);
  EXPECT_EQ(messages, std::vector<std::string>{Folder() + "Shield.rc不存在"});
  EXPECT_FALSE(Loaded());
}

TEST_F(ShieldTest, MissingLibraryIsNamedInFullAndAFolderDoesNotCount) {
  WriteSettings("[Res]\nKeys=k\n");
  EXPECT_FALSE(Open(2).Started);
  EXPECT_EQ(messages, std::vector<std::string>{Folder() + "clinkAPI.dll不存在"});
  fs::create_directory(LibraryPath());
  EXPECT_FALSE(Open(2).Started);
  EXPECT_EQ(messages, std::vector<std::string>{Folder() + "clinkAPI.dll不存在"});
}

TEST_F(ShieldTest, SwitchAboveThreeReadsSettingsButLoadsNothing) {
  WriteSettings("[Res]\nKeys=k\n");
  InstallVendor(1);
  ChooseResult(150);
  const TShieldStart s = Open(5);
  EXPECT_FALSE(s.Started);
  EXPECT_EQ(s.hModule, 0u);
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(Loaded());

  // The settings file is read: one that cannot be opened is the caller's
  // error, not a shield message.
  HANDLE lock =
      CreateFileW((dir.path() / L"Shield.rc").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_THROW(Open(4), Error);
  EXPECT_THROW(Open(1), Error);
  CloseHandle(lock);
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(Loaded());
}

TEST_F(ShieldTest, VendorOneStartsOnlyOn150AndStaysLoaded) {
  WriteSettings("\xEF\xBB\xBF[Res]\nKeys=玩家钥匙\n");
  InstallVendor(1);
  struct Case {
    int result;
    bool started;
    const char* message;
  };
  const Case cases[] = {
      {150, true, nullptr},
      {0, false, "游戏盾启动失败，错误代码: 0"},
      {151, false, "游戏盾启动失败，错误代码: 151"},
      {-7, false, "游戏盾启动失败，错误代码: -7"},
  };
  for (const Case& c : cases) {
    ChooseResult(c.result);
    const TShieldStart s = Open(1);
    EXPECT_EQ(s.Started, c.started) << c.result;
    EXPECT_EQ(messages, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
        << c.result;
    EXPECT_TRUE(Loaded());
    EXPECT_EQ(s.hModule, reinterpret_cast<std::uintptr_t>(GetModuleHandleW(LibraryPath().c_str())));
    EXPECT_EQ(LastKey(), Utf8ToGbk("玩家钥匙"));
  }
  EXPECT_EQ(Calls(), 4);
}

TEST_F(ShieldTest, VendorTwoStartsOn200To299) {
  WriteSettings("[Res]\nKeys=k2\n");
  InstallVendor(2);
  struct Case {
    int result;
    bool started;
  };
  for (const Case& c : {Case{199, false}, Case{200, true}, Case{250, true}, Case{299, true}, Case{300, false},
                        Case{-200, false}}) {
    ChooseResult(c.result);
    const TShieldStart s = Open(2);
    EXPECT_EQ(s.Started, c.started) << c.result;
    if (c.started)
      EXPECT_TRUE(messages.empty()) << c.result;
    else
      EXPECT_EQ(messages,
                std::vector<std::string>{"游戏服务启动失败，错误代码: " + std::to_string(c.result)});
    EXPECT_TRUE(Loaded());
    EXPECT_EQ(LastKey(), "k2");
  }
}

TEST_F(ShieldTest, VendorThreeStartsWhateverItReturns) {
  WriteSettings("[Res]\nKeys=k3\n");
  InstallVendor(3);
  for (int result : {0, -1, 150}) {
    ChooseResult(result);
    const TShieldStart s = Open(3);
    EXPECT_TRUE(s.Started) << result;
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(Loaded());
    EXPECT_EQ(LastKey(), "k3");
    HMODULE m = GetModuleHandleW(LibraryPath().c_str());
    auto empty = Export<int (*)()>(m, "ShieldTestSecondArgumentEmpty");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty(), 1);
  }
}

TEST_F(ShieldTest, MissingEntryPointIsReportedAndTheLibraryUnloaded) {
  WriteSettings("[Res]\nKeys=k\n");
  struct Case {
    int installed;
    int sw;
    const char* message;
  };
  const Case cases[] = {
      {2, 1, "无法找到clinkStart函数"},
      {1, 2, "无法找到igamesdkStart函数"},
      {1, 3, "无法找到GameshieldManager_Start函数"},
  };
  ChooseResult(150);
  for (const Case& c : cases) {
    InstallVendor(c.installed);
    const TShieldStart s = Open(c.sw);
    EXPECT_FALSE(s.Started) << c.sw;
    EXPECT_NE(s.hModule, 0u) << c.sw;  // the handle obtained is kept
    EXPECT_EQ(messages, std::vector<std::string>{c.message});
    EXPECT_FALSE(Loaded()) << c.sw;
  }
}

TEST_F(ShieldTest, LibraryThatCannotLoadNamesTheVendor) {
  WriteSettings("[Res]\nKeys=k\n");
  std::ofstream(LibraryPath(), std::ios::binary) << "MZ but not a library";
  const char* expected[] = {"无法加载德讯云盾SDK DLL", "无法加载德讯云加速SDK DLL", "无法加载千鸟SDK DLL"};
  for (int sw = 1; sw <= 3; ++sw) {
    const TShieldStart s = Open(sw);
    EXPECT_FALSE(s.Started);
    EXPECT_EQ(s.hModule, 0u);
    EXPECT_EQ(messages, std::vector<std::string>{expected[sw - 1]});
  }
}

TEST_F(ShieldTest, KeyFromSettingsInEveryEncodingAndDefault) {
  ASSERT_EQ(GetACP(), 936u) << "the test harness runs Wine with a Chinese locale";
  InstallVendor(1);
  ChooseResult(150);
  const std::string gbk = Utf8ToGbk("盾钥匙");
  struct Case {
    std::string settings;
    std::string key;  // bytes the library receives
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF[Res]\r\nKeys=盾钥匙\r\n", gbk},
      {"[Res]\r\nKeys=" + gbk + "\r\n", gbk},  // no mark: the ANSI code page
      {test::Utf16Le("[Res]\r\nKeys=盾钥匙\r\n", true), gbk},
      {test::Utf16Be("[Res]\nKeys=盾钥匙\n", true), gbk},
      {"[Res]\nKeys=\n", ""},
      {"[Res]\nOther=1\n", "Default"},
      {"[Other]\nKeys=x\n", "Default"},
      {"", "Default"},
  };
  for (const Case& c : cases) {
    WriteSettings(c.settings);
    ASSERT_TRUE(Open(1).Started);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(LastKey(), c.key) << c.settings;
  }
}

}  // namespace
}  // namespace lk
