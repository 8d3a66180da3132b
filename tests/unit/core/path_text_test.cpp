#include "platform/path_text.h"

#include <gtest/gtest.h>

namespace lk {
namespace {

TEST(PathText, FolderNameAndBareName) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
    const char* bare;
  };
  const Case cases[] = {
      {"C:\\Play\\Launcher.exe", "C:\\Play\\", "Launcher.exe", "Launcher"},
      {"C:\\Play\\Game Start.exe", "C:\\Play\\", "Game Start.exe", "Game Start"},
      {"C:\\a.exe.d\\登录器.EXE", "C:\\a.exe.d\\", "登录器.EXE", "登录器"},
      {"C:\\Play\\a.b.exe", "C:\\Play\\", "a.b.exe", "a.b"},
      {"C:\\Play\\launcher", "C:\\Play\\", "launcher", "launcher"},
      {"C:\\Play.d\\launcher", "C:\\Play.d\\", "launcher", "launcher"},
      {"\\\\server\\share\\l.exe", "\\\\server\\share\\", "l.exe", "l"},
      {"Z:/tmp/x/l.exe", "Z:/tmp/x/", "l.exe", "l"},
      {"C:l.exe", "C:", "l.exe", "l"},
      {"l.exe", "", "l.exe", "l"},
      {"C:\\Play\\", "C:\\Play\\", "", ""},
      {"C:\\Play\\.exe", "C:\\Play\\", ".exe", ""},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractFileFolder(c.path), c.folder) << c.path;
    EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
    EXPECT_EQ(FileNameWithoutExtension(c.path), c.bare) << c.path;
  }
}

TEST(PathText, RemoveDotBackslash) {
  const std::pair<const char*, const char*> cases[] = {
      {".\\data\\", "data\\"},
      {"data\\.\\x\\", "data\\x\\"},
      {"..\\up\\", ".up\\"},
      {".\\.\\", ""},
      {"", ""},
      {"a.b\\", "a.b\\"},
      {"./x", "./x"},  // only the backslash form
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(RemoveDotBackslash(in), out) << in;
}

}  // namespace
}  // namespace lk
