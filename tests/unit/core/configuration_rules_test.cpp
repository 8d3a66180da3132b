#include "core/configuration_rules.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace lk {
namespace {

TEST(ConfigurationFileName, ReplacesEveryExeCaseSensitively) {
  const struct {
    const char* exe;
    const char* inf;
  } cases[] = {
      {"C:\\Games\\L.exe", "C:\\Games\\L.inf"},
      {"D:\\a.exe.d\\L.exe", "D:\\a.inf.d\\L.inf"},
      {"C:\\Games\\L.EXE", "C:\\Games\\L.EXE"},
      {"C:\\Games\\L.Exe", "C:\\Games\\L.Exe"},
      {"C:\\游戏\\登录器.exe", "C:\\游戏\\登录器.inf"},
      {"C:\\x.exexe", "C:\\x.infxe"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ConfigurationFileName(c.exe), c.inf) << c.exe;
}

TEST(PersonInfoFromEntry, MapsEntryPositionsToFields) {
  const TPersonInfo p =
      PersonInfoFromEntry("电信区|一区 风云|风云|game.example.com|7000|7100|-5|渠道A|12|bin\\Game");
  EXPECT_EQ(p.GroupName, "电信区");
  EXPECT_EQ(p.ListAreaName, "一区 风云");
  EXPECT_EQ(p.ReaDistrictName, "风云");
  EXPECT_EQ(p.ServerAddress, "game.example.com");
  EXPECT_EQ(p.LoginPort, 7000);
  EXPECT_EQ(p.RegisteredPorts, 7100);
  EXPECT_EQ(p.PlatFormID, -5);
  EXPECT_EQ(p.ChannelID, "渠道A");
  EXPECT_EQ(p.ServerID, 12u);
  EXPECT_EQ(p.ClientFileName, "bin\\Game");
}

TEST(PersonInfoFromEntry, NumbersAndFieldCounts) {
  const char* base = "g|z|r|h|";
  // Port reduced to its low 16 bits, hex accepted, an eleventh field ignored.
  TPersonInfo p = PersonInfoFromEntry(std::string(base) + "70000|0x10|$7FFFFFFF|c|4294967295|x.exe|extra");
  EXPECT_EQ(p.LoginPort, 4464);
  EXPECT_EQ(p.RegisteredPorts, 16);
  EXPECT_EQ(p.PlatFormID, 2147483647);
  EXPECT_EQ(p.ServerID, 4294967295u);
  EXPECT_EQ(p.ClientFileName, "x.exe");

  const struct {
    std::string entry;
    const char* message;  // exact text for conversion errors, nullptr for range errors
  } failures[] = {
      {std::string(base) + "-1|0|0|c|0|x", "'-1' is not a valid integer value"},
      {std::string(base) + "1|1|2147483648|c|0|x", "'2147483648' is not a valid integer value"},
      {std::string(base) + "1|1|1|c|-1|x", "'-1' is not a valid integer value"},
      {std::string(base) + "1|1|1|c|1", nullptr},  // nine fields
      {"", nullptr},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.entry);
    if (f.message) {
      try {
        PersonInfoFromEntry(f.entry);
        ADD_FAILURE() << "no error";
      } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), f.message);
      }
    } else {
      EXPECT_THROW(PersonInfoFromEntry(f.entry), RangeError);
    }
  }
  // Conversion happens in entry order: a bad port is reported before a
  // missing last field.
  EXPECT_THROW(PersonInfoFromEntry("g|z|r|h|abc|1|1|c|1"), ConversionError);
}

TEST(EntryFromPersonInfo, RoundTripsAndRefusesUnreadableFields) {
  TPersonInfo p;
  p.GroupName = "网通";
  p.ListAreaName = "二区";
  p.ServerAddress = "127.0.0.1";
  p.LoginPort = 7000;
  p.PlatFormID = -3;
  p.ServerID = 4000000000u;
  p.ClientFileName = "Game.exe";
  EXPECT_EQ(PersonInfoFromEntry(EntryFromPersonInfo(p)), p);

  p.ChannelID = "a|b";
  EXPECT_THROW(EntryFromPersonInfo(p), Error);
  p.ChannelID = "\"quoted";
  EXPECT_THROW(EntryFromPersonInfo(p), Error);
}

}  // namespace
}  // namespace lk
