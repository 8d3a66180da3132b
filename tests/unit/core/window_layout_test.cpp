#include "core/window_layout.h"

#include <gtest/gtest.h>

namespace lk {
namespace {

TEST(WindowLayoutTest, ProgressRowWithAndWithoutCaption) {
  struct Case {
    bool on;
    TSize origin;
    TSize size;
    ProgressRowLayout want;
  };
  const Case cases[] = {
      // cx 228: 153 wide 30 in with the caption, 183 wide at the left without.
      {true, {67, 400}, {228, 9}, {true, {67, 400}, {97, 402}, 153, {67 + 153 + 35, 400}}},
      {false, {67, 400}, {228, 9}, {false, {67, 400}, {67, 402}, 183, {67 + 183 + 5, 400}}},
      // A row narrower than its margins gives a negative width, as the rule says.
      {false, {0, 0}, {40, 0}, {false, {0, 0}, {0, 2}, -5, {0, 0}}},
      {true, {330, 420}, {410, 14}, {true, {330, 420}, {360, 422}, 335, {330 + 335 + 35, 420}}},
  };
  for (const Case& c : cases) {
    const ProgressRowLayout got = LayOutProgressRow(c.on, c.origin, c.size);
    EXPECT_EQ(got, c.want) << c.on << " " << c.size.cx;
    // The percentage always starts 5 pixels after the bar's right end.
    EXPECT_EQ(got.percent.cx, got.bar.cx + got.barWidth + 5);
  }
}

TEST(WindowLayoutTest, SpeedLabel130BeforeTheRightEnd) {
  EXPECT_EQ(SpeedLabelLeft({330, 390}, {410, 16}), 330 + 410 - 130);
  EXPECT_EQ(SpeedLabelLeft({0, 0}, {0, 0}), -130);
}

TEST(WindowLayoutTest, TitleFontDropsTheFraction) {
  EXPECT_EQ(TitleFontPoints(10.9f), 10);
  EXPECT_EQ(TitleFontPoints(10.5f), 10);
  EXPECT_EQ(TitleFontPoints(12.0f), 12);
  EXPECT_EQ(TitleFontPoints(0.99f), 0);
  EXPECT_EQ(TitleFontPoints(-3.0f), 0);
  EXPECT_EQ(TitleFontPoints(1e9f), 1000);
}

TEST(WindowLayoutTest, RestoredResolution) {
  const auto& r = ResolutionChoices();
  ASSERT_EQ(r.size(), 7u);
  EXPECT_EQ(RestoredResolutionIndex(r, "1366", "768"), 2);
  EXPECT_EQ(RestoredResolutionIndex(r, "1920", "1080"), 6);
  EXPECT_EQ(RestoredResolutionIndex(r, "1366", ""), 0);
  EXPECT_EQ(RestoredResolutionIndex(r, "", "768"), 0);
  EXPECT_EQ(RestoredResolutionIndex(r, "1366", "769"), 0);
  EXPECT_EQ(RestoredResolutionIndex(r, " 1366", "768"), 0);  // exact text
}

TEST(WindowLayoutTest, RestoredInterface) {
  struct Case {
    const char* stored;
    int want;
  } cases[] = {{"2", 2}, {"0", 0}, {"5", 1}, {"3", 1}, {"abc", 1}, {"", 1}, {"-1", -1},
               {" 2", 2}, {"$2", 2}, {"2147483648", 1}, {"-2147483648", -1}};
  for (const auto& c : cases) EXPECT_EQ(RestoredInterfaceIndex(c.stored, 3), c.want) << c.stored;
}

TEST(WindowLayoutTest, RestoredFullScreenOnlyForOne) {
  EXPECT_TRUE(RestoredFullScreen("1"));
  EXPECT_FALSE(RestoredFullScreen("true"));
  EXPECT_FALSE(RestoredFullScreen("01"));
  EXPECT_FALSE(RestoredFullScreen(""));
  EXPECT_FALSE(RestoredFullScreen("1 "));
}

TEST(WindowLayoutTest, ChoiceListsInOrder) {
  EXPECT_EQ(InterfaceChoices(), (std::vector<std::string>{"3G界面", "1.45界面", "新3G界面"}));
  EXPECT_EQ(ResolutionChoices().front(), "800*600");
  EXPECT_EQ(ResolutionChoices().back(), "1920*1080");
}

}  // namespace
}  // namespace lk
