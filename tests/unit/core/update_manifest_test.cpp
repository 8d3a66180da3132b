#include "core/update_manifest.h"

#include <gtest/gtest.h>

namespace lk {
namespace {

UpdateManifest Sample() {
  UpdateManifest m;
  m.UpdateUrl = "http://127.0.0.1:8080/更新/";
  m.Remotebutton1 = "远程协助";
  m.remotePath1 = "tools\\a.exe";
  m.LoginVerificationCode = std::string(64, 'a');
  m.LoginDownloadName = "launcher.zip";
  m.LoginName = "传奇.exe";
  m.ConfigName = "传奇.inf";
  m.ConfigVerificationCode = std::string(64, 'c');
  m.ConfigDownloadName = "config.zip";
  m.files = {{0, ".\\", "top.txt", std::string(64, '0'), "file_0.zip"},
             {1, "data\\地图\\", "b.dat", std::string(64, '1'), "file_1.zip"}};
  m.Count = "2";
  m.count = 2;
  return m;
}

UpdateManifest ReadBack(const std::string& text) {
  ManifestIni store;
  EXPECT_TRUE(ReadManifestText(AsBytes(text), store));
  return ReadUpdateManifest(store);
}

TEST(UpdateManifest, WrittenTextReadsBackAsTheSameModel) {
  const UpdateManifest m = Sample();
  const std::string text = WriteUpdateManifest(m);
  EXPECT_TRUE(text.starts_with("\xEF\xBB\xBF[UpdateData]\r\nUpdateUrl=http://127.0.0.1:8080/更新/\r\n"));
  EXPECT_NE(text.find("\r\n[File_1]\r\nFileDir=data\\地图\\\r\nLocalName=b.dat\r\n"), std::string::npos);
  // Optional keys without a value are not written.
  EXPECT_EQ(text.find("Remotebutton2"), std::string::npos);
  EXPECT_EQ(ReadBack(text), m);
  // Count follows the files when the model gives none.
  UpdateManifest without = m;
  without.count.reset();
  without.Count.clear();
  EXPECT_EQ(ReadBack(WriteUpdateManifest(without)), m);
}

TEST(UpdateManifest, ReadsKeysWithoutRegardToCaseAndTheLastValueWins) {
  const std::string text =
      "[updatedata]\nupdateurl=http://a/\nCOUNT=1\nCount=2\nloginname=x.exe\n"
      "[FILE_1]\nfiledir=d\\\nLOCALNAME=b\nfilemd5=m\ngrobalname=g.zip\n";
  const UpdateManifest m = ReadBack(text);
  EXPECT_EQ(m.UpdateUrl, "http://a/");
  EXPECT_EQ(m.LoginName, "x.exe");
  EXPECT_EQ(m.count, 2);
  ASSERT_EQ(m.files.size(), 1u);
  EXPECT_EQ(m.files[0], (ManifestFile{1, "d\\", "b", "m", "g.zip"}));
}

TEST(UpdateManifest, FileSectionsAreReadOnlyBelowCountAndOnlyAsFarAsTheyExist) {
  std::string text = "[UpdateData]\nCount=2000000000\n";
  for (const char* section : {"File_7", "File_3", "File_0", "File_03", "File_x", "File_", "File_-1",
                              "File_99999999999"})
    text += std::string("[") + section + "]\nGrobalName=" + section + "\n";
  const UpdateManifest m = ReadBack(text);
  ASSERT_EQ(m.files.size(), 3u);
  EXPECT_EQ(m.files[0].index, 0);
  EXPECT_EQ(m.files[1].index, 3);
  EXPECT_EQ(m.files[2].index, 7);
  EXPECT_EQ(m.files[2].GrobalName, "File_7");

  const UpdateManifest small = ReadBack("[UpdateData]\nCount=3\n[File_3]\nGrobalName=x\n[File_2]\nGrobalName=y\n");
  ASSERT_EQ(small.files.size(), 1u);
  EXPECT_EQ(small.files[0].GrobalName, "y");

  for (const char* count : {"Count=", "Count=abc", "Count=2x", "x=1"}) {
    const UpdateManifest bad = ReadBack(std::string("[UpdateData]\n") + count + "\n[File_0]\nGrobalName=z\n");
    EXPECT_FALSE(bad.count.has_value()) << count;
    EXPECT_TRUE(bad.files.empty()) << count;
  }
}

}  // namespace
}  // namespace lk
