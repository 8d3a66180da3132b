// Labels: text, size from the text, font, and the transparent background.
#include "platform/ui/label.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ui/form.h"
#include "platform/window.h"
#include "tests/unit/ui/ui_test_support.h"

namespace lk::ui {
namespace {

using test::Bitmap;
using test::CaptureClient;
using test::MakeBitmap;
using test::Opaque;
using test::Rgb;

class LabelTest : public ::testing::Test {
 protected:
  LabelTest()
      : form("LkTestForm", "labels", 300, 120),
        green(MakeBitmap(300, 120, [](int, int) { return Opaque(0, 128, 0); })) {
    form.SetBackground(green.get());
  }
  Form form;
  Bitmap green;
};

TEST_F(LabelTest, HoldsItsTextAsWindowTextAndSizesItselfToIt) {
  Label label(form.Hwnd(), 16, 15, "服务器状态");
  label.SetFont("Tahoma", 11);
  // An outside inspection program reads the window text.
  EXPECT_EQ(WindowTextWide(label.Hwnd()), L"服务器状态");
  EXPECT_EQ(label.Text(), "服务器状态");
  const Rect b = label.Bounds();
  EXPECT_EQ(b.left, 16);
  EXPECT_EQ(b.top, 15);
  const SIZE extent = label.TextExtent();
  EXPECT_GT(extent.cx, 0);
  EXPECT_GT(extent.cy, 0);
  EXPECT_EQ(b.width, extent.cx);
  EXPECT_EQ(b.height, extent.cy);

  label.SetCaption("连接中...");
  const int shortWidth = label.Bounds().width;
  label.SetCaption("客户端已加载完毕，选择分区登录游戏!");
  EXPECT_GT(label.Bounds().width, shortWidth);
  EXPECT_EQ(label.Bounds().left, 16) << "resizing keeps the position";

  const int longWidth = label.Bounds().width;
  SetWindowTextW(label.Hwnd(), L"连接失败");
  EXPECT_LT(label.Bounds().width, longWidth) << "any text change resizes";
  EXPECT_EQ(label.Bounds().width, label.TextExtent().cx);

  label.SetCaption("");
  EXPECT_EQ(label.Bounds().width, 0);
  EXPECT_GT(label.Bounds().height, 0) << "an empty label keeps one line's height";
}

TEST_F(LabelTest, FontHeightIsInPixels) {
  Label label(form.Hwnd(), 0, 0, "Label1");
  label.SetFont("Tahoma", 11);
  LOGFONTW lf{};
  ASSERT_TRUE(GetObjectW(label.Font(), sizeof lf, &lf));
  EXPECT_EQ(lf.lfHeight, -11);
  EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
  const int small = label.Bounds().height;
  label.SetFont("Tahoma", PointsToPixels(20));
  ASSERT_TRUE(GetObjectW(label.Font(), sizeof lf, &lf));
  EXPECT_EQ(lf.lfHeight, -27);
  EXPECT_GT(label.Bounds().height, small) << "a font change resizes the label";
}

TEST(PointsToPixels, IsUnscaled96Dpi) {
  EXPECT_EQ(PointsToPixels(9), 12);
  EXPECT_EQ(PointsToPixels(10), 13);
  EXPECT_EQ(PointsToPixels(12), 16);
  EXPECT_EQ(PointsToPixels(0), 0);
}

TEST_F(LabelTest, DrawsOnlyItsTextOverTheBackground) {
  Label label(form.Hwnd(), 20, 30, "全屏模式 MMMM");
  label.SetFont("Tahoma", 16, FW_BOLD);
  label.SetColor(RGB(255, 0, 0));
  form.ShowNormal();
  const Rect b = label.Bounds();
  const RECT area{b.left, b.top, b.left + b.width, b.top + b.height};
  test::Image img = CaptureClient(form.Hwnd());
  EXPECT_GT(img.Count(area, Rgb{255, 0, 0}, 40), 10) << "text in its colour";
  EXPECT_GT(img.Count(area, Rgb{0, 128, 0}), b.width * b.height / 3) << "background shows between letters";
  // Nothing but background and text shades: no box in another colour.
  int other = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      const Rgb c = img.At(x, y);
      if (c.b != 0) ++other;  // neither red nor green nor a blend of them has blue
    }
  EXPECT_EQ(other, 0);

  // A shorter text leaves no trace of the longer one.
  label.SetCaption("M");
  img = CaptureClient(form.Hwnd());
  const Rect small = label.Bounds();
  const RECT rest{small.left + small.width, area.top, area.right, area.bottom};
  EXPECT_EQ(img.Count(rest, Rgb{0, 128, 0}), (rest.right - rest.left) * (rest.bottom - rest.top));

  label.SetVisible(false);
  EXPECT_FALSE(label.Visible());
  img = CaptureClient(form.Hwnd());
  EXPECT_EQ(img.Count(area, Rgb{255, 0, 0}, 40), 0);
  label.SetVisible(true);
  EXPECT_TRUE(label.Visible());
}

}  // namespace
}  // namespace lk::ui
