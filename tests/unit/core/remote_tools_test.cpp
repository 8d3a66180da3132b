#include "core/remote_tools.h"

#include <gtest/gtest.h>

namespace lk {
namespace {

TEST(RemoteTools, PathRule) {
  const std::string folder = "C:\\游戏\\";
  struct Case {
    const char* tool;
    const char* expected;
  };
  const Case cases[] = {
      {"远程软件\\远程控制1.exe", "C:\\游戏\\远程软件\\远程控制1.exe"},
      {".\\tools\\remote.exe", "C:\\游戏\\tools\\remote.exe"},
      {"..\\remote.exe", "C:\\游戏\\.remote.exe"},
      {"tools\\.\\remote.exe", "C:\\游戏\\tools\\remote.exe"},
      {".\\.\\a.exe", "C:\\游戏\\a.exe"},
      {"..\\.\\a.exe", "C:\\游戏\\.a.exe"},
      {"...\\a.exe", "C:\\游戏\\..a.exe"},
      {"a.\\b.exe", "C:\\游戏\\ab.exe"},
      {"./tools/remote.exe", "C:\\游戏\\./tools/remote.exe"},  // only the backslash form
      {".", "C:\\游戏\\."},
      {"\\", "C:\\游戏\\\\"},
      {"", "C:\\游戏\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(RemoteToolFullPath(folder, c.tool), c.expected) << c.tool;
}

TEST(RemoteTools, OnePassDoesNotRemoveWhatTheRemovalJoins) {
  // ".\\" + ".\\" inside "..\\.\\" are both removed, but the "." and "\\"
  // that come together afterwards are not scanned again.
  EXPECT_EQ(RemoteToolFullPath("", ".\\.\\"), "");
  EXPECT_EQ(RemoteToolFullPath("", "..\\\\x"), ".\\x");
}

TEST(RemoteTools, Defaults) {
  EXPECT_STREQ(kRemoteToolCaption1, "远程软件1");
  EXPECT_STREQ(kRemoteToolCaption2, "远程软件2");
  EXPECT_EQ(RemoteToolFullPath("D:\\L\\", kRemoteToolPath1), "D:\\L\\远程软件\\远程控制1.exe");
  EXPECT_EQ(RemoteToolFullPath("D:\\L\\", kRemoteToolPath2), "D:\\L\\远程软件\\远程控制2.exe");
}

}  // namespace
}  // namespace lk
