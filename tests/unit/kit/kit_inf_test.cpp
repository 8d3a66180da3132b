#include <gtest/gtest.h>

#include <map>

#include "core/CustomNetEncoding.h"
#include "core/configuration_rules.h"
#include "tests/support/kit_run.h"
#include "tests/support/temp_dir.h"

namespace lk {
namespace {

using test::RunKit;

const char* kDescription =
    "# demo\n"
    "[LoginData]\n"
    "WebUrl = http://127.0.0.1/home\n"
    "UpDateUrl=http://127.0.0.1:8080/manifest.ini\n"
    "Grouping = 分组\n"
    "UpDateSwitch = 1\n"
    "CloudShieldSwitch = 0\n"
    "\n"
    "[Zone]\n"
    "GroupName = 电信区\n"
    "ListAreaName = 风云一区\n"
    "ReaDistrictName = 风云\n"
    "ServerAddress = 127.0.0.1\n"
    "LoginPort = 7000\n"
    "RegisteredPorts = 7100\n"
    "PlatFormID = -1\n"
    "ChannelID = c1\n"
    "ServerID = 4294967295\n"
    "ClientFileName = bin\\game.exe\n"
    "[Zone]\n"
    "GroupName = 网通区\n"
    "ListAreaName = 二区\n"
    "ReaDistrictName =\n"
    "ServerAddress = localhost\n"
    "LoginPort = 0x1F40\n"
    "RegisteredPorts = 0\n"
    "PlatFormID = 0\n"
    "ChannelID =\n"
    "ServerID = 0\n"
    "ClientFileName = game\n";

// key -> value of the .inf text (ASCII output; good enough to check it).
std::map<std::string, std::string> ParseInf(const std::string& text) {
  std::map<std::string, std::string> out;
  std::string section;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    if (line.empty()) continue;
    if (line[0] == '[') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const std::size_t eq = line.find('=');
    out[section + "/" + line.substr(0, eq)] = line.substr(eq + 1);
  }
  return out;
}

TEST(KitInf, WritesSettingsAndScrambledZones) {
  test::PortableTempDir dir;
  kit::WriteFileBytes(dir.File("zones.txt"), kDescription);
  const auto r = RunKit({"inf", dir.File("zones.txt"), dir.File("L.inf")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("2 zone(s)"), std::string::npos);

  const std::string text = kit::ReadFileBytes(dir.File("L.inf"));
  // Plain ASCII here: every non-ASCII text is inside a scrambled value.
  ASSERT_EQ(text.rfind("[LoginData]\r\n", 0), 0u);
  auto inf = ParseInf(text);
  EXPECT_EQ(inf["LoginData/WebUrl"], "http://127.0.0.1/home");
  EXPECT_EQ(inf["LoginData/PayUrl"], "");
  EXPECT_EQ(inf["LoginData/UpDateUrl"], "http://127.0.0.1:8080/manifest.ini");
  EXPECT_EQ(inf["LoginData/UpDateSwitch"], "1");
  EXPECT_EQ(inf["LoginData/CloudShieldSwitch"], "0");
  EXPECT_EQ(DecodeScrambledValue(inf["LoginData/Grouping"], ChainVectorK7q29, ChainVectorK7q29), "分组");
  ASSERT_TRUE(inf.count("Server/0") && inf.count("Server/1"));
  EXPECT_FALSE(inf.count("Server/2"));

  const TPersonInfo a =
      PersonInfoFromEntry(DecodeScrambledValue(inf["Server/0"], ChainVectorK7q29, ChainVectorK7q29));
  EXPECT_EQ(a.GroupName, "电信区");
  EXPECT_EQ(a.ListAreaName, "风云一区");
  EXPECT_EQ(a.LoginPort, 7000);
  EXPECT_EQ(a.PlatFormID, -1);
  EXPECT_EQ(a.ServerID, 4294967295u);
  EXPECT_EQ(a.ClientFileName, "bin\\game.exe");
  const TPersonInfo b =
      PersonInfoFromEntry(DecodeScrambledValue(inf["Server/1"], ChainVectorK7q29, ChainVectorK7q29));
  EXPECT_EQ(b.LoginPort, 8000);
  EXPECT_EQ(b.ChannelID, "");
  EXPECT_EQ(b.ReaDistrictName, "");
}

TEST(KitInf, NonAsciiSettingsGoOutAsUtf16WithBom) {
  test::PortableTempDir dir;
  kit::WriteFileBytes(dir.File("d.txt"), "[LoginData]\nWebUrl = http://例子.cn/\nCloudShieldSwitch=2\n");
  ASSERT_EQ(RunKit({"inf", dir.File("d.txt"), dir.File("o.inf")}).code, 0);
  const std::string text = kit::ReadFileBytes(dir.File("o.inf"));
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(0, 2), "\xFF\xFE");
  std::u16string u;
  for (std::size_t i = 2; i + 1 < text.size(); i += 2)
    u += static_cast<char16_t>(static_cast<unsigned char>(text[i]) | (static_cast<unsigned char>(text[i + 1]) << 8));
  EXPECT_NE(Utf16ToUtf8(u).find("WebUrl=http://例子.cn/\r\n"), std::string::npos);
}

TEST(KitInf, BadDescriptionsAreClearErrorsNamingTheLine) {
  const std::string zone =
      "[Zone]\nGroupName=g\nListAreaName=z\nReaDistrictName=r\nServerAddress=h\nLoginPort=1\n"
      "RegisteredPorts=2\nPlatFormID=3\nChannelID=c\nServerID=4\nClientFileName=x.exe\n";
  const std::string login = "[LoginData]\nCloudShieldSwitch=0\n";
  auto replace = [&](const std::string& from, const std::string& to) {
    std::string z = zone;
    z.replace(z.find(from), from.size(), to);
    return login + z;
  };
  const struct {
    std::string text;
    const char* expected;  // part of the message
  } cases[] = {
      {replace("LoginPort=1", "LoginPort=70000"), "d.txt:8: LoginPort \"70000\" is not a port (0..65535)"},
      {replace("LoginPort=1", "LoginPort=-1"), "d.txt:8: LoginPort \"-1\" is not a port"},
      {replace("ServerID=4", "ServerID=abc"), "d.txt:12: ServerID \"abc\" is not a 32-bit unsigned number"},
      {replace("ChannelID=c", "ChannelID=a|b"), "d.txt:11: ChannelID must not contain \"|\""},
      {replace("ServerAddress=h\n", ""), "d.txt:3: zone is missing the field ServerAddress"},
      {replace("ChannelID=c", "Channel=c"), "d.txt:11: unknown zone field \"Channel\""},
      {replace("ChannelID=c", "ChannelID=c\nChannelID=d"), "d.txt:12: \"ChannelID\" is given twice"},
      {"[LoginData]\nUpDateSwitch=true\nCloudShieldSwitch=0\n", "d.txt:2: UpDateSwitch must be 0 or 1"},
      {"[LoginData]\nWebUrl=x\n", "needs CloudShieldSwitch"},
      {"[LoginData]\nCloudShieldSwitch=4294967296\n", "d.txt:2: CloudShieldSwitch \"4294967296\" is not a number"},
      {"[Servers]\n", "d.txt:1: unknown section [Servers]"},
      {"WebUrl=x\n", "d.txt:1: \"WebUrl\" stands before any section"},
      {"[LoginData]\nno equals sign\n", "d.txt:2: expected \"Key = value\""},
      {"[LoginData]\nCloudShieldSwitch=0\n\xFF\n", "must be UTF-8"},
  };
  test::PortableTempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    kit::WriteFileBytes(dir.File("d.txt"), c.text);
    const auto r = RunKit({"inf", dir.File("d.txt"), dir.File("o.inf")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
  }
  const auto missing = RunKit({"inf", dir.File("absent.txt"), dir.File("o.inf")});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
  EXPECT_EQ(RunKit({"inf", dir.File("d.txt")}).code, 2);
}

}  // namespace
}  // namespace lk
