// Opening a remote tool through the real shell: a copy of the fake client
// stands in for the tool.
#include "launcher/RemoteTools.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/remote_tools.h"
#include "launcher/StartedApps.h"
#include "platform/text.h"
#include "tests/support/child_process_win.h"
#include "tests/support/temp_dir_win.h"

namespace lk {
namespace {

namespace fs = std::filesystem;

TEST(RemoteToolsOpen, StartsTheToolBelowTheLauncherFolder) {
  test::TempDir dir;
  const fs::path tool = dir.path() / L"远程软件" / L"远程工具-测试.exe";
  fs::create_directories(tool.parent_path());
  fs::copy_file(test::HelperProgram("fakeclient.exe"), tool);
  const fs::path record = dir.path() / L"record.txt";
  SetEnvironmentVariableW(L"LK_FAKECLIENT_RECORD", record.c_str());

  OpenRemoteTool(Narrow(dir.path().wstring()) + "\\", ".\\远程软件\\.\\远程工具-测试.exe");
  SetEnvironmentVariableW(L"LK_FAKECLIENT_RECORD", nullptr);

  const bool started = test::WaitForFile(record);
  // The stand-in stays alive until ended: end it by its name.
  TStartedApps tools;
  AddToStartedApps(tools, "远程工具-测试.exe", Narrow(tool.wstring()));
  CloseAllStartedApps(tools);
  EXPECT_TRUE(started);
}

TEST(RemoteToolsOpen, MissingToolIsSilent) {
  test::TempDir dir;
  EXPECT_NO_THROW(OpenRemoteTool(Narrow(dir.path().wstring()) + "\\", kRemoteToolPath1));
}

}  // namespace
}  // namespace lk
