// The borderless form under Wine: identity, size, painting, colour key,
// dragging and the error boundary of its handlers.
#include "platform/ui/form.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/text.h"
#include "platform/ui/control.h"
#include "platform/ui/label.h"
#include "tests/unit/ui/ui_test_support.h"

namespace lk::ui {
namespace {

using test::Bitmap;
using test::CaptureClient;
using test::MakeBitmap;
using test::Opaque;
using test::Pump;
using test::Rgb;

constexpr Rgb kMagenta{255, 0, 255};

POINT WindowOrigin(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return POINT{r.left, r.top};
}

LPARAM At(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

TEST(Form, IsABorderlessWindowFoundByItsClassNameAndTitle) {
  Form form("TForm2", "测试登录器", 982, 588);
  EXPECT_EQ(FindWindowW(L"TForm2", L"测试登录器"), form.Hwnd());
  EXPECT_EQ(form.Title(), "测试登录器");
  const LONG_PTR style = GetWindowLongPtrW(form.Hwnd(), GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style &
               (WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_FALSE(form.Visible());
  form.SetTitle("另一个品牌");
  EXPECT_EQ(FindWindowW(L"TForm2", L"另一个品牌"), form.Hwnd());
}

TEST(Form, ClientAreaIsTheWholeWindowAndKeepsItsSize) {
  Form form("LkTestForm", "size", 982, 588);
  form.ShowNormal();
  Pump();
  SIZE s = form.ClientSize();
  EXPECT_EQ(s.cx, 982);
  EXPECT_EQ(s.cy, 588);
  RECT w{};
  GetWindowRect(form.Hwnd(), &w);
  EXPECT_EQ(w.right - w.left, 982);
  EXPECT_EQ(w.bottom - w.top, 588);
  form.SetClientSize(640, 480);
  s = form.ClientSize();
  EXPECT_EQ(s.cx, 640);
  EXPECT_EQ(s.cy, 480);
  // No frame to pull: the borders are not sizing handles.
  EXPECT_EQ(SendMessageW(form.Hwnd(), WM_NCHITTEST, 0, MAKELPARAM(w.left + 639, w.top + 479)), HTCLIENT);
}

TEST(Form, CentresOnTheScreen) {
  Form form("LkTestForm", "centre", 400, 300);
  form.CenterOnScreen();
  const POINT p = WindowOrigin(form.Hwnd());
  EXPECT_EQ(p.x, (GetSystemMetrics(SM_CXSCREEN) - 400) / 2);
  EXPECT_EQ(p.y, (GetSystemMetrics(SM_CYSCREEN) - 300) / 2);
}

TEST(Form, PaintsItsColourThenTheBackgroundAtTheOrigin) {
  Form form("LkTestForm", "paint", 120, 80);
  form.SetColor(RGB(0, 0, 255));
  // 60 x 40: left half red, right half magenta; the rest of the client is
  // the form's colour.
  Bitmap bg(MakeBitmap(60, 40, [](int x, int) { return x < 30 ? Opaque(255, 0, 0) : Opaque(255, 0, 255); }));
  form.SetBackground(bg.get());
  form.ShowNormal();
  const test::Image img = CaptureClient(form.Hwnd());
  EXPECT_EQ(img.At(0, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(img.At(29, 39), (Rgb{255, 0, 0}));
  EXPECT_EQ(img.At(30, 0), kMagenta);
  EXPECT_EQ(img.At(59, 39), kMagenta);
  EXPECT_EQ(img.At(60, 0), (Rgb{0, 0, 255}));
  EXPECT_EQ(img.At(0, 40), (Rgb{0, 0, 255}));
  EXPECT_EQ(img.At(119, 79), (Rgb{0, 0, 255}));

  // Removing the background leaves the colour alone.
  form.SetBackground(nullptr);
  EXPECT_TRUE(form.Background().Empty());
  EXPECT_EQ(CaptureClient(form.Hwnd()).At(0, 0), (Rgb{0, 0, 255}));
}

TEST(Form, TheBackgroundBitmapIsCopied) {
  Form form("LkTestForm", "copy", 20, 20);
  {
    Bitmap bg(MakeBitmap(20, 20, [](int, int) { return Opaque(0, 200, 0); }));
    form.SetBackground(bg.get());
  }  // the caller's bitmap is gone
  form.ShowNormal();
  EXPECT_EQ(CaptureClient(form.Hwnd()).At(10, 10), (Rgb{0, 200, 0}));
}

TEST(Form, ColourKeyMakesTheWindowLayeredWithMagentaKey) {
  Form form("LkTestForm", "key", 50, 50);
  EXPECT_FALSE(GetWindowLongPtrW(form.Hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_FALSE(form.ColorKey().has_value());
  form.EnableColorKey();
  form.EnableColorKey();  // again: no change, no error
  EXPECT_TRUE(GetWindowLongPtrW(form.Hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(form.Hwnd(), &key, &alpha, &flags));
  EXPECT_EQ(key, RGB(255, 0, 255));
  EXPECT_EQ(flags & LWA_COLORKEY, static_cast<DWORD>(LWA_COLORKEY));
  EXPECT_EQ(flags & LWA_ALPHA, 0u);
}

TEST(Form, MagentaAreasShowWhatLiesBehindOnTheScreen) {
  // A green window behind, the skinned form in front: magenta pixels of the
  // background and the uncovered magenta colour must show green on screen.
  Form behind("LkTestForm", "behind", 200, 100);
  behind.SetColor(RGB(0, 255, 0));
  SetWindowPos(behind.Hwnd(), nullptr, 300, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  behind.ShowNormal();
  Form form("LkTestForm", "front", 200, 100);
  Bitmap bg(
      MakeBitmap(100, 100, [](int x, int) { return x < 50 ? Opaque(255, 0, 0) : Opaque(255, 0, 255); }));
  form.SetBackground(bg.get());
  form.SetColor(RGB(255, 0, 255));
  form.EnableColorKey();
  SetWindowPos(form.Hwnd(), HWND_TOP, 300, 300, 0, 0, SWP_NOSIZE);
  form.ShowNormal();
  Pump(200);
  const test::Image screen = test::CaptureScreen(RECT{300, 300, 500, 400});
  EXPECT_EQ(screen.At(10, 50), (Rgb{255, 0, 0})) << "the opaque part of the skin";
  EXPECT_EQ(screen.At(75, 50), (Rgb{0, 255, 0})) << "magenta pixel of the background";
  EXPECT_EQ(screen.At(150, 50), (Rgb{0, 255, 0})) << "uncovered part in the magenta colour";
}

struct DragStep {
  UINT message;  // mouse message sent to the form
  int x, y;      // client coordinates in the message
  int dx, dy;    // expected window movement since the start
  bool dragging;
};

struct DragCase {
  const char* name;
  std::vector<DragStep> steps;
};

class FormDrag : public ::testing::TestWithParam<DragCase> {};

TEST_P(FormDrag, MovesByTheMouseDistanceFromThePressPoint) {
  Form form("LkTestForm", "drag", 200, 150);
  SetWindowPos(form.Hwnd(), nullptr, 200, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  form.ShowNormal();
  Pump();
  const POINT start = WindowOrigin(form.Hwnd());
  int i = 0;
  for (const DragStep& s : GetParam().steps) {
    SendMessageW(form.Hwnd(), s.message, s.message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, At(s.x, s.y));
    const POINT now = WindowOrigin(form.Hwnd());
    EXPECT_EQ(now.x - start.x, s.dx) << "step " << i;
    EXPECT_EQ(now.y - start.y, s.dy) << "step " << i;
    EXPECT_EQ(form.Dragging(), s.dragging) << "step " << i;
    EXPECT_EQ(GetCapture() == form.Hwnd(), s.dragging) << "step " << i;
    ++i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormDrag,
    ::testing::Values(DragCase{"FirstMoveAlreadyMoves",
                               {{WM_LBUTTONDOWN, 10, 10, 0, 0, true}, {WM_MOUSEMOVE, 11, 10, 1, 0, true}}},
                      DragCase{"EachMoveMeasuresFromTheSamePressPoint",
                               {{WM_LBUTTONDOWN, 10, 10, 0, 0, true},
                                {WM_MOUSEMOVE, 25, 17, 15, 7, true},
                                {WM_MOUSEMOVE, 25, 17, 30, 14, true},
                                {WM_MOUSEMOVE, 10, 10, 30, 14, true},
                                {WM_LBUTTONUP, 10, 10, 30, 14, false},
                                {WM_MOUSEMOVE, 50, 50, 30, 14, false}}},
                      DragCase{
                          "NegativeClientCoordinatesWhileCaptured",
                          {{WM_LBUTTONDOWN, 10, 10, 0, 0, true}, {WM_MOUSEMOVE, -5, -3, -15, -13, true}}},
                      DragCase{"RightPressDoesNotDrag",
                               {{WM_RBUTTONDOWN, 10, 10, 0, 0, false},
                                {WM_MOUSEMOVE, 40, 40, 0, 0, false},
                                {WM_RBUTTONUP, 40, 40, 0, 0, false}}},
                      DragCase{"MiddlePressDoesNotDrag",
                               {{WM_MBUTTONDOWN, 10, 10, 0, 0, false}, {WM_MOUSEMOVE, 40, 40, 0, 0, false}}},
                      DragCase{"ReleaseOfAnotherButtonEndsTheDrag",
                               {{WM_LBUTTONDOWN, 10, 10, 0, 0, true},
                                {WM_RBUTTONUP, 10, 10, 0, 0, false},
                                {WM_MOUSEMOVE, 20, 20, 0, 0, false}}},
                      DragCase{"ReleaseWithoutDragIsHarmless", {{WM_LBUTTONUP, 10, 10, 0, 0, false}}}),
    [](const ::testing::TestParamInfo<DragCase>& p) { return std::string(p.param.name); });

TEST(Form, LosingTheCaptureEndsTheDrag) {
  Form form("LkTestForm", "capture", 100, 100);
  form.ShowNormal();
  SendMessageW(form.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  ASSERT_TRUE(form.Dragging());
  Form other("LkTestForm", "other", 10, 10);
  SetCapture(other.Hwnd());
  EXPECT_FALSE(form.Dragging());
  ReleaseCapture();
}

TEST(Form, APressOnAChildControlDoesNotDrag) {
  // Real input: the cursor over a label, a left press and a move. The label
  // takes the press; the form neither captures nor moves.
  Form form("LkTestForm", "child", 200, 150);
  SetWindowPos(form.Hwnd(), HWND_TOP, 100, 100, 0, 0, SWP_NOSIZE);
  Label label(form.Hwnd(), 20, 20, "不能拖动我");
  form.ShowNormal();
  SetForegroundWindow(form.Hwnd());
  Pump(100);
  const POINT start = WindowOrigin(form.Hwnd());
  SetCursorPos(100 + 25, 100 + 25);
  Pump(50);
  ASSERT_EQ(WindowFromPoint(POINT{125, 125}), label.Hwnd());
  INPUT in[3] = {};
  in[0].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].type = INPUT_MOUSE;
  in[1].mi.dx = 30;
  in[1].mi.dy = 20;
  in[1].mi.dwFlags = MOUSEEVENTF_MOVE;
  in[2].type = INPUT_MOUSE;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
  Pump(100);
  EXPECT_FALSE(form.Dragging());
  EXPECT_EQ(WindowOrigin(form.Hwnd()).x, start.x);
  EXPECT_EQ(WindowOrigin(form.Hwnd()).y, start.y);
  SendInput(1, &in[2], sizeof(INPUT));
  Pump(50);
}

TEST(Form, ARealLeftDragOnTheBackgroundMovesTheWindowWithTheCursor) {
  Form form("LkTestForm", "real drag", 200, 150);
  SetWindowPos(form.Hwnd(), HWND_TOP, 100, 100, 0, 0, SWP_NOSIZE);
  form.ShowNormal();
  SetForegroundWindow(form.Hwnd());
  Pump(100);
  SetCursorPos(150, 150);
  Pump(50);
  INPUT in[3] = {};
  in[0].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].type = INPUT_MOUSE;
  in[1].mi.dx = 40;
  in[1].mi.dy = 30;
  in[1].mi.dwFlags = MOUSEEVENTF_MOVE;
  in[2].type = INPUT_MOUSE;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &in[0], sizeof(INPUT));
  Pump(50);
  EXPECT_TRUE(form.Dragging());
  SendInput(1, &in[1], sizeof(INPUT));
  Pump(100);
  SendInput(1, &in[2], sizeof(INPUT));
  Pump(50);
  POINT cursor{};
  GetCursorPos(&cursor);
  const POINT moved = WindowOrigin(form.Hwnd());
  // The window followed the cursor: same offset as at the press.
  EXPECT_EQ(moved.x - 100, cursor.x - 150);
  EXPECT_EQ(moved.y - 100, cursor.y - 150);
  EXPECT_NE(cursor.x, 150);
  EXPECT_FALSE(form.Dragging());
}

TEST(Form, ShowAndCloseRunTheirHandlers) {
  auto form = std::make_unique<Form>("LkTestForm", "events", 50, 50);
  std::string log;
  form->onShow = [&] { log += "show;"; };
  form->onClose = [&] { log += "close;"; };
  form->onDestroy = [&] { log += "destroy;"; };
  form->ShowNormal();
  form->Hide();
  form->ShowNormal();
  HWND hwnd = form->Hwnd();
  form->Close();
  EXPECT_EQ(log, "show;show;close;destroy;");
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(form->Hwnd(), nullptr);
  form.reset();  // the destructor copes with the window already gone
}

TEST(Form, AnErrorEscapingAHandlerGoesToTheErrorDisplay) {
  std::string shown;
  SetErrorDisplay([&](const std::exception& e) { shown = e.what(); });
  Form form("LkTestForm", "error", 50, 50);
  form.onShow = [] { throw std::runtime_error("配置文件错误"); };
  form.ShowNormal();
  EXPECT_EQ(shown, "配置文件错误");
  EXPECT_TRUE(form.Visible()) << "the window opens all the same";
  SetErrorDisplay(nullptr);
}

}  // namespace
}  // namespace lk::ui
