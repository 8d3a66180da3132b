// What only Windows shows about digests and unpacking: sharing modes,
// hidden entries, locked targets, missing drives.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "core/update_files.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_fixture.h"

namespace lk {
namespace {

using test::ReadTestFile;
using test::WriteTestFile;

HANDLE Open(const std::string& path, DWORD access, DWORD share) {
  return CreateFileW(Wide(path).c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

TEST(FileDigestWin, FileOpenForWritingElsewhereGivesEmptyText) {
  test::PortableTempDir dir;
  const std::string path = dir.File("游戏.dat");
  WriteTestFile(path, "abc");
  const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  {
    // Another writer, even one that lets others read and write: our read
    // refuses to share with writers, so it cannot open the file.
    HANDLE writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileDigest(path), "");
    EXPECT_EQ(FileDigests({path, path}), (std::vector<std::string>{"", ""}));
    CloseHandle(writer);
  }
  {
    // An exclusive handle locks the file against any reader.
    HANDLE locked = Open(path, GENERIC_READ, 0);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileDigest(path), "");
    CloseHandle(locked);
  }
  {
    // Other readers do not disturb the digest.
    HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileDigest(path), abc);
    CloseHandle(reader);
  }
  EXPECT_EQ(FileDigest(path), abc);
  EXPECT_EQ(FileDigest(dir.File("没有.dat")), "");
}

TEST(FileDigestWin, DigestRefusesWritersWhileItReads) {
  // While our handle is open, nobody may open the file for writing.
  test::PortableTempDir dir;
  const std::string path = dir.File("a.dat");
  WriteTestFile(path, "data");
  InFile in(path);
  HANDLE writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
}

TEST(RemoveDirIfEmptyWin, HiddenFileKeepsTheFolder) {
  test::PortableTempDir dir;
  const std::string folder = dir.File("Patch");
  WriteTestFile(folder + "\\hidden.zip", "x");
  ASSERT_TRUE(SetFileAttributesW(Wide(folder + "\\hidden.zip").c_str(),
                                 FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  RemoveDirIfEmpty(folder);
  EXPECT_TRUE(IsDirectory(folder));
  SetFileAttributesW(Wide(folder + "\\hidden.zip").c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(Wide(folder + "\\hidden.zip").c_str());
  RemoveDirIfEmpty(folder);
  EXPECT_FALSE(PathExists(folder));
}

TEST(ExtractPackageWin, MissingDriveRaises) {
  const DWORD drives = GetLogicalDrives();
  char letter = 0;
  for (char c = 'Q'; c <= 'Y' && !letter; ++c)
    if (!(drives & (1u << (c - 'A')))) letter = c;
  ASSERT_NE(letter, 0);
  const std::string folder = std::string(1, letter) + ":\\游戏\\数据";
  test::PortableTempDir dir;
  test::WriteZip(dir.File("a.zip"), {{"a.txt", "a"}});
  EXPECT_THROW(ExtractPackage(dir.File("a.zip"), folder), Error);
  EXPECT_THROW(ExtractPackage(dir.File("missing.zip"), folder), Error);
  EXPECT_TRUE(PathExists(dir.File("a.zip")));
}

TEST(ExtractPackageWin, LockedTargetKeepsItsOldContentAndTheArchive) {
  test::PortableTempDir dir;
  const std::string target = dir.File("game\\launcher.exe");
  WriteTestFile(target, "old launcher");
  test::WriteZip(dir.File("L.zip"), {{"readme.txt", "new readme"}, {"launcher.exe", "new launcher"}});
  // A running program keeps its file open without FILE_SHARE_DELETE, so it
  // cannot be replaced.
  HANDLE running = Open(target, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  EXPECT_THROW(ExtractPackage(dir.File("L.zip"), dir.File("game")), Error);
  CloseHandle(running);
  EXPECT_EQ(ReadTestFile(target), "old launcher");
  EXPECT_EQ(ReadTestFile(dir.File("game\\readme.txt")), "new readme");
  EXPECT_TRUE(PathExists(dir.File("L.zip")));
  // No temporary file stays beside the target.
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(Wide(dir.File("game\\*")).c_str(), &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::vector<std::wstring> names;
  do {
    names.push_back(found.cFileName);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L".", L"..", L"launcher.exe", L"readme.txt"}));
  // Once the program has ended, the same archive replaces it.
  ExtractPackage(dir.File("L.zip"), dir.File("game"));
  EXPECT_EQ(ReadTestFile(target), "new launcher");
  EXPECT_FALSE(PathExists(dir.File("L.zip")));
}

// The patcher's case: the old launcher's process has just been ended, but
// its exe is still held for a moment. The rename is retried until it lets go.
TEST(ExtractPackageWin, RenameRetriedWhileTheTargetIsHeld) {
  test::PortableTempDir dir;
  const std::string target = dir.File("game\\launcher.exe");
  WriteTestFile(target, "old launcher");
  test::WriteZip(dir.File("L.zip"), {{"launcher.exe", "new launcher"}});
  HANDLE running = Open(target, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  std::thread releaser([running] {
    Sleep(1500);
    CloseHandle(running);
  });
  const ULONGLONG start = GetTickCount64();
  EXPECT_NO_THROW(ExtractPackage(dir.File("L.zip"), dir.File("game"), ExtractOptions{.renameRetryMs = 10000}));
  const ULONGLONG took = GetTickCount64() - start;
  releaser.join();
  EXPECT_GE(took, 1000u);
  EXPECT_LT(took, 8000u);
  EXPECT_EQ(ReadTestFile(target), "new launcher");
  EXPECT_FALSE(PathExists(dir.File("L.zip")));
}

TEST(ExtractPackageWin, RenameRetryGivesUpAfterItsTime) {
  test::PortableTempDir dir;
  const std::string target = dir.File("game\\launcher.exe");
  WriteTestFile(target, "old launcher");
  test::WriteZip(dir.File("L.zip"), {{"launcher.exe", "new launcher"}});
  HANDLE running = Open(target, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  const ULONGLONG start = GetTickCount64();
  EXPECT_THROW(ExtractPackage(dir.File("L.zip"), dir.File("game"), ExtractOptions{.renameRetryMs = 700}), Error);
  const ULONGLONG took = GetTickCount64() - start;
  CloseHandle(running);
  EXPECT_GE(took, 700u);
  EXPECT_LT(took, 5000u);
  EXPECT_EQ(ReadTestFile(target), "old launcher");
  EXPECT_TRUE(PathExists(dir.File("L.zip")));
}

TEST(ExtractPackageWin, ArchiveLockedByAnotherWriterRaisesAndStays) {
  test::PortableTempDir dir;
  test::WriteZip(dir.File("a.zip"), {{"a.txt", "a"}});
  HANDLE writer = Open(dir.File("a.zip"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_THROW(ExtractPackage(dir.File("a.zip"), dir.File("out")), Error);
  CloseHandle(writer);
  EXPECT_TRUE(PathExists(dir.File("a.zip")));
  EXPECT_FALSE(PathExists(dir.File("out\\a.txt")));
  EXPECT_TRUE(IsDirectory(dir.File("out")));
}

}  // namespace
}  // namespace lk
