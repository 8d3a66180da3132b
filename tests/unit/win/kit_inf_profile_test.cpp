// What launcher-kit writes, the launcher's own reader reads: the .inf goes
// through the real profile functions here.
#include <gtest/gtest.h>

#include "core/CustomNetEncoding.h"
#include "core/configuration_rules.h"
#include "launcher/InfFileHelper.h"
#include "tests/support/kit_run.h"
#include "tests/support/temp_dir.h"

namespace lk {
namespace {

TEST(KitInfThroughProfileFunctions, AsciiAndUtf16FilesReadBack) {
  test::PortableTempDir dir;
  const struct {
    const char* webUrl;
  } cases[] = {{"http://127.0.0.1/"}, {"http://例子.中国/公告"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.webUrl);
    kit::WriteFileBytes(dir.File("d.txt"),
                        std::string("[LoginData]\nWebUrl=") + c.webUrl +
                            "\nUpDateSwitch=1\nCloudShieldSwitch=3\n[Zone]\nGroupName=电信\n"
                            "ListAreaName=一区\nReaDistrictName=r\nServerAddress=127.0.0.1\nLoginPort=7000\n"
                            "RegisteredPorts=0\nPlatFormID=0\nChannelID=\nServerID=0\nClientFileName=g.exe\n");
    ASSERT_EQ(test::RunKit({"inf", dir.File("d.txt"), dir.File("登录器.inf")}).code, 0);
    TInfFileHelper ini(dir.File("登录器.inf"));
    EXPECT_EQ(ini.ReadString("LoginData", "WebUrl", ""), c.webUrl);
    EXPECT_EQ(ini.ReadString("LoginData", "UpDateSwitch", ""), "1");
    EXPECT_EQ(ini.ReadString("LoginData", "CloudShieldSwitch", ""), "3");
    const TPersonInfo p = PersonInfoFromEntry(
        DecodeScrambledValue(ini.ReadString("Server", "0", ""), ChainVectorK7q29, ChainVectorK7q29));
    EXPECT_EQ(p.GroupName, "电信");
    EXPECT_EQ(p.ListAreaName, "一区");
    EXPECT_EQ(ini.ReadString("Server", "1", ""), "");
  }
}

}  // namespace
}  // namespace lk
