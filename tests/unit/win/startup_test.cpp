// Start-up helpers against the real file system (under Wine in CI).
#include "launcher/Startup.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/handles.h"
#include "tests/support/temp_dir.h"
#include "tests/support/temp_dir_win.h"

namespace lk {
namespace {

TEST(ReadLauncherFile, ReadsWholeFileWhileOthersHaveItOpenForWriting) {
  test::TempDir dir;
  const std::string path = dir.File("启动器.exe");
  std::string bytes(300000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  test::WriteTestFile(path, bytes);
  // An updater holding the file open for reading and writing does not stop
  // start-up.
  UniqueFile writer(CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer);
  const std::vector<std::uint8_t> got = ReadLauncherFile(path);
  EXPECT_EQ(std::string(got.begin(), got.end()), bytes);
  // And the launcher holds no lock of its own afterwards.
  UniqueFile exclusive(CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(exclusive);  // `writer` still has it
  writer.reset();
  exclusive.reset(CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(exclusive);
}

TEST(ReadLauncherFile, UnreadableFileIsAnErrorNamingThePath) {
  test::TempDir dir;
  const std::string missing = dir.File("没有.exe");
  try {
    ReadLauncherFile(missing);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind(missing + "无法读取: ", 0), 0u) << e.what();
  }
  // Held without sharing by someone else.
  const std::string locked = dir.File("locked.exe");
  test::WriteTestFile(locked, "MZ");
  UniqueFile holder(CreateFileW(Wide(locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  EXPECT_THROW(ReadLauncherFile(locked), Error);
  // An empty file reads as no bytes (the package reader reports it).
  const std::string empty = dir.File("empty.exe");
  test::WriteTestFile(empty, "");
  EXPECT_TRUE(ReadLauncherFile(empty).empty());
}

TEST(ApplicationTitle, IsTheExecutableNameWithoutExtension) {
  EXPECT_EQ(ApplicationTitle(), "win_tests");
  EXPECT_NE(OwnExecutablePath().find("win_tests.exe"), std::string::npos);
}

}  // namespace
}  // namespace lk
