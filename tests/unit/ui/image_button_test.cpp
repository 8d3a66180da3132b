// Image buttons: size from the picture, alpha and key-colour drawing over
// the form's background, hover pictures and clicks.
#include "platform/ui/image_button.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/ui/form.h"
#include "tests/unit/ui/ui_test_support.h"

namespace lk::ui {
namespace {

using test::Bitmap;
using test::CaptureClient;
using test::MakeBitmap;
using test::Opaque;
using test::Pump;
using test::Rgb;

constexpr Rgb kGreen{0, 128, 0};

class ImageButtonTest : public ::testing::Test {
 protected:
  ImageButtonTest()
      : form("LkTestForm", "buttons", 200, 120),
        green(MakeBitmap(200, 120, [](int, int) { return Opaque(0, 128, 0); })) {
    form.SetBackground(green.get());
    SetWindowPos(form.Hwnd(), HWND_TOP, 400, 300, 0, 0, SWP_NOSIZE);
  }
  Rgb At(const ImageButton& b, int x, int y) {
    const Rect r = b.Bounds();
    return CaptureClient(form.Hwnd()).At(r.left + x, r.top + y);
  }
  Form form;
  Bitmap green;
};

TEST_F(ImageButtonTest, WithoutPictureItIsEmpty) {
  ImageButton b(form.Hwnd(), 80, 8);
  EXPECT_EQ(b.Bounds(), (Rect{80, 8, 0, 0}));
  EXPECT_TRUE(b.Visible());
  b.SetPicture(nullptr, Transparency::kAlpha);
  EXPECT_EQ(b.Bounds(), (Rect{80, 8, 0, 0}));
}

TEST_F(ImageButtonTest, TakesTheSizeOfItsPicture) {
  ImageButton b(form.Hwnd(), 80, 8);
  Bitmap pic(MakeBitmap(72, 25, [](int, int) { return Opaque(1, 2, 3); }));
  b.SetPicture(pic.get(), Transparency::kAlpha);
  EXPECT_EQ(b.Bounds(), (Rect{80, 8, 72, 25}));
  b.SetPosition(643, 496);
  EXPECT_EQ(b.Bounds(), (Rect{643, 496, 72, 25}));
}

TEST_F(ImageButtonTest, AlphaPictureBlendsOverTheBackground) {
  ImageButton b(form.Hwnd(), 10, 10);
  // Premultiplied: opaque blue | fully transparent | half-transparent blue.
  Bitmap pic(MakeBitmap(30, 10, [](int x, int) -> std::uint32_t {
    if (x < 10) return 0xff0000ffu;
    if (x < 20) return 0x00000000u;
    return 0x80000080u;
  }));
  b.SetPicture(pic.get(), Transparency::kAlpha);
  form.ShowNormal();
  const test::Image img = CaptureClient(form.Hwnd());
  EXPECT_EQ(img.At(10 + 5, 15), (Rgb{0, 0, 255}));
  EXPECT_EQ(img.At(10 + 15, 15), kGreen);
  EXPECT_TRUE(test::Near(img.At(10 + 25, 15), Rgb{0, 64, 128}, 2)) << img.At(10 + 25, 15);
}

TEST_F(ImageButtonTest, KeyedPictureLeavesOutItsBottomLeftColour) {
  ImageButton b(form.Hwnd(), 10, 10);
  // Checkerboard of cyan and yellow, cyan at the bottom left: every cyan
  // pixel, wherever it is, lets the background through.
  Bitmap pic(MakeBitmap(
      20, 10, [](int x, int y) { return (x + y) % 2 == 1 ? Opaque(0, 255, 255) : Opaque(255, 255, 0); }));
  b.SetPicture(pic.get(), Transparency::kBottomLeftKey);
  EXPECT_EQ(b.CurrentPicture().KeyColor(), RGB(0, 255, 255));
  form.ShowNormal();
  const test::Image img = CaptureClient(form.Hwnd());
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const Rgb want = (x + y) % 2 == 1 ? kGreen : Rgb{255, 255, 0};
      ASSERT_EQ(img.At(10 + x, 10 + y), want) << x << "," << y;
    }
}

TEST_F(ImageButtonTest, KeyedPictureFromA24BitBitmap) {
  // Decoded BMPs may come as 24-bit sections; the copy converts them.
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = 4;
  bmi.bmiHeader.biHeight = 2;  // bottom-up, the file order of a BMP
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  Bitmap pic(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_NE(pic.get(), nullptr);
  auto* p = static_cast<std::uint8_t*>(bits);
  // Bottom row (first in memory): magenta, red, magenta, red. Top row: red x4.
  const std::uint8_t magenta[3] = {255, 0, 255}, red[3] = {0, 0, 255};
  for (int x = 0; x < 4; ++x) std::memcpy(p + x * 3, x % 2 ? red : magenta, 3);
  for (int x = 0; x < 4; ++x) std::memcpy(p + 12 + x * 3, red, 3);
  GdiFlush();
  ImageButton b(form.Hwnd(), 50, 50);
  b.SetPicture(pic.get(), Transparency::kBottomLeftKey);
  EXPECT_EQ(b.Bounds(), (Rect{50, 50, 4, 2}));
  EXPECT_EQ(b.CurrentPicture().KeyColor(), RGB(255, 0, 255));
  form.ShowNormal();
  const test::Image img = CaptureClient(form.Hwnd());
  EXPECT_EQ(img.At(50, 51), kGreen);
  EXPECT_EQ(img.At(51, 51), (Rgb{255, 0, 0}));
  EXPECT_EQ(img.At(50, 50), (Rgb{255, 0, 0}));
}

struct HoverFixture : ImageButtonTest {
  HoverFixture()
      : normal(MakeBitmap(10, 10, [](int, int) { return Opaque(255, 0, 0); })),
        hover(MakeBitmap(16, 12, [](int, int) { return Opaque(0, 0, 255); })),
        button(form.Hwnd(), 40, 40) {
    button.SetPictures(normal.get(), hover.get(), Transparency::kAlpha);
    button.onMouseEnter = [this] { log += "enter;"; };
    button.onMouseLeave = [this] { log += "leave;"; };
    button.onClick = [this] { log += "click;"; };
    form.ShowNormal();
    SetForegroundWindow(form.Hwnd());
    // The real cursor away from the button, on the form's background.
    SetCursorPos(400 + 150, 300 + 100);
    Pump(50);
    log.clear();
  }
  Bitmap normal;
  Bitmap hover;
  ImageButton button;
  std::string log;
};

TEST_F(HoverFixture, SyntheticEnterAndLeaveSwapThePictures) {
  EXPECT_EQ(button.Bounds(), (Rect{40, 40, 10, 10}));
  SendMessageW(button.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(button.Hovered());
  EXPECT_EQ(button.Bounds(), (Rect{40, 40, 16, 12})) << "sizes itself to the hover picture";
  EXPECT_EQ(At(button, 12, 11), (Rgb{0, 0, 255}));
  SendMessageW(button.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
  EXPECT_EQ(log, "enter;") << "one entry for many moves";
  SendMessageW(button.Hwnd(), WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(button.Hovered());
  EXPECT_EQ(button.Bounds(), (Rect{40, 40, 10, 10}));
  EXPECT_EQ(At(button, 5, 5), (Rgb{255, 0, 0}));
  EXPECT_EQ(log, "enter;leave;");
  SendMessageW(button.Hwnd(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(log, "enter;leave;") << "no second leave";
}

TEST_F(HoverFixture, TheRealCursorEnteringAndLeavingSwapsThePictures) {
  SetCursorPos(400 + 45, 300 + 45);
  ASSERT_TRUE(test::PumpUntil([&] { return button.Hovered(); })) << "no WM_MOUSEMOVE from the cursor";
  EXPECT_EQ(At(button, 12, 11), (Rgb{0, 0, 255}));
  SetCursorPos(400 + 150, 300 + 100);
  // TrackMouseEvent's WM_MOUSELEAVE brings the normal picture back.
  ASSERT_TRUE(test::PumpUntil([&] { return !button.Hovered(); })) << "no WM_MOUSELEAVE";
  EXPECT_EQ(At(button, 5, 5), (Rgb{255, 0, 0}));
  EXPECT_EQ(log, "enter;leave;");
}

TEST_F(HoverFixture, AnEmptyHoverSlotLeavesNoPictureUnderTheMouse) {
  button.SetPictures(normal.get(), nullptr, Transparency::kAlpha);
  SendMessageW(button.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(button.CurrentPicture().Empty());
  EXPECT_EQ(button.Bounds(), (Rect{40, 40, 0, 0}));
  SendMessageW(button.Hwnd(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(button.Bounds(), (Rect{40, 40, 10, 10}));
}

struct ClickCase {
  const char* name;
  std::vector<std::pair<UINT, POINT>> messages;
  int clicks;
};

class ImageButtonClick : public HoverFixture, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(ImageButtonClick, ClickIsAPressAndAReleaseOnTheButton) {
  for (const auto& [msg, p] : GetParam().messages)
    SendMessageW(
        button.Hwnd(), msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0,
        MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(p.x)), static_cast<WORD>(static_cast<SHORT>(p.y))));
  int clicks = 0;
  for (size_t at = log.find("click;"); at != std::string::npos; at = log.find("click;", at + 1)) ++clicks;
  EXPECT_EQ(clicks, GetParam().clicks);
  EXPECT_NE(GetCapture(), button.Hwnd()) << "the capture is released";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ImageButtonClick,
    ::testing::Values(ClickCase{"PressAndRelease", {{WM_LBUTTONDOWN, {2, 2}}, {WM_LBUTTONUP, {3, 3}}}, 1},
                      ClickCase{"ReleaseOutside", {{WM_LBUTTONDOWN, {2, 2}}, {WM_LBUTTONUP, {-3, 3}}}, 0},
                      ClickCase{"ReleaseBelow", {{WM_LBUTTONDOWN, {2, 2}}, {WM_LBUTTONUP, {2, 10}}}, 0},
                      ClickCase{"ReleaseWithoutPress", {{WM_LBUTTONUP, {2, 2}}}, 0},
                      ClickCase{"RightButton", {{WM_RBUTTONDOWN, {2, 2}}, {WM_RBUTTONUP, {2, 2}}}, 0},
                      ClickCase{"TwoClicks",
                                {{WM_LBUTTONDOWN, {2, 2}},
                                 {WM_LBUTTONUP, {3, 3}},
                                 {WM_LBUTTONDOWN, {2, 2}},
                                 {WM_LBUTTONUP, {3, 3}}},
                                2}),
    [](const ::testing::TestParamInfo<ClickCase>& p) { return std::string(p.param.name); });

TEST_F(HoverFixture, AClickHandlerThatThrowsReachesTheErrorDisplay) {
  std::string shown;
  SetErrorDisplay([&](const std::exception& e) { shown = e.what(); });
  button.onClick = [] { throw std::runtime_error("打不开"); };
  SendMessageW(button.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  SendMessageW(button.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(shown, "打不开");
  SetErrorDisplay(nullptr);
}

TEST_F(HoverFixture, ClosingTheFormFromAClickIsSafe) {
  // The close button destroys the window whose button is being clicked.
  button.onClick = [this] { form.Close(); };
  SendMessageW(button.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  SendMessageW(button.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(form.Hwnd(), nullptr);
  EXPECT_EQ(button.Hwnd(), nullptr);
}

}  // namespace
}  // namespace lk::ui
