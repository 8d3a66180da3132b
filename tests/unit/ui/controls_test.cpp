// Drop-down lists, the tick box and progress bars on a form, with their
// notifications reflected by the form.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/check_box.h"
#include "platform/ui/combo_box.h"
#include "platform/ui/form.h"
#include "platform/ui/progress_bar.h"
#include "tests/unit/ui/ui_test_support.h"

namespace lk::ui {
namespace {

using test::Pump;

class ControlsTest : public ::testing::Test {
 protected:
  ControlsTest() : form("LkTestForm", "controls", 600, 400) {}
  Form form;
};

TEST_F(ControlsTest, DropDownListIsPickOnlyWithItsEntries) {
  ComboBox resolution(form.Hwnd(), Rect{527, 304, 87, 23});
  resolution.SetFont("Segoe UI", 12);
  EXPECT_EQ(GetWindowLongPtrW(resolution.Hwnd(), GWL_STYLE) & 0x3, CBS_DROPDOWNLIST);
  for (const char* r : {"800*600", "1024*768", "1366*768"}) resolution.Add(r);
  EXPECT_EQ(resolution.Count(), 3);
  EXPECT_EQ(resolution.SelectedIndex(), -1);
  resolution.Select(0);
  EXPECT_EQ(resolution.SelectedIndex(), 0);
  EXPECT_EQ(resolution.Text(), "800*600") << "the closed box shows the selection";
  EXPECT_EQ(resolution.ItemText(2), "1366*768");
  EXPECT_EQ(resolution.ItemText(3), "");
  resolution.Select(-1);
  EXPECT_EQ(resolution.SelectedIndex(), -1);

  ComboBox zones(form.Hwnd(), Rect{16, 218, 121, 23});
  zones.Insert(0, "选择游戏分区");
  zones.Select(0);
  EXPECT_EQ(zones.ItemText(0), "选择游戏分区");
  EXPECT_EQ(zones.Text(), "选择游戏分区");
  zones.Clear();
  EXPECT_EQ(zones.Count(), 0);
}

TEST_F(ControlsTest, DropDownListKeepsTheGivenClosedSize) {
  ComboBox box(form.Hwnd(), Rect{401, 333, 87, 23});
  box.SetFont("Segoe UI", 12);
  box.Add("3G界面");
  const Rect b = box.Bounds();
  EXPECT_EQ(b.left, 401);
  EXPECT_EQ(b.top, 333);
  EXPECT_EQ(b.width, 87);
  EXPECT_EQ(b.height, 23);
}

TEST_F(ControlsTest, APickByThePlayerIsReportedAndAProgramSelectionIsNot) {
  ComboBox box(form.Hwnd(), Rect{10, 10, 120, 23});
  for (const char* t : {"3G界面", "1.45界面", "新3G界面"}) box.Add(t);
  std::vector<int> picks;
  box.onChange = [&](int i) { picks.push_back(i); };
  box.Select(1);
  EXPECT_TRUE(picks.empty());
  form.ShowNormal();
  SetForegroundWindow(form.Hwnd());
  SetFocus(box.Hwnd());
  SendMessageW(box.Hwnd(), WM_KEYDOWN, VK_DOWN, 0);
  Pump();
  EXPECT_EQ(picks, (std::vector<int>{2}));
  EXPECT_EQ(box.SelectedIndex(), 2);
}

TEST_F(ControlsTest, TickBox) {
  CheckBox box(form.Hwnd(), Rect{666, 306, 13, 13});
  EXPECT_EQ(box.Bounds(), (Rect{666, 306, 13, 13}));
  EXPECT_EQ(GetWindowLongPtrW(box.Hwnd(), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
  EXPECT_EQ(box.Text(), "");
  EXPECT_FALSE(box.Checked());
  std::vector<bool> clicks;
  box.onClick = [&](bool on) { clicks.push_back(on); };
  box.SetChecked(true);
  EXPECT_TRUE(box.Checked());
  EXPECT_TRUE(clicks.empty()) << "setting by program is no click";
  // A click by the player toggles and reaches the handler through the form.
  SendMessageW(box.Hwnd(), BM_CLICK, 0, 0);
  EXPECT_FALSE(box.Checked());
  SendMessageW(box.Hwnd(), BM_CLICK, 0, 0);
  EXPECT_TRUE(box.Checked());
  EXPECT_EQ(clicks, (std::vector<bool>{false, true}));
  box.SetVisible(false);
  EXPECT_FALSE(box.Visible());
}

TEST_F(ControlsTest, ProgressBarRangeAndPosition) {
  ProgressBar bar(form.Hwnd(), Rect{67, 400 - 300, 228, 9});
  EXPECT_EQ(bar.Bounds(), (Rect{67, 100, 228, 9}));
  bar.SetRange(0, 100);
  bar.SetPosition(100);
  EXPECT_EQ(bar.Min(), 0);
  EXPECT_EQ(bar.Max(), 100);
  EXPECT_EQ(bar.Position(), 100);
  bar.SetRange(0, 0);
  bar.SetPosition(0);
  EXPECT_EQ(bar.Max(), 0);
  EXPECT_EQ(bar.Position(), 0);
  bar.SetRange(0, 2000000000);
  bar.SetPosition(1999999999);
  EXPECT_EQ(bar.Max(), 2000000000) << "the full 32-bit range (PBM_SETRANGE32)";
  EXPECT_EQ(bar.Position(), 1999999999);
  bar.SetSize(183, 9);
  EXPECT_EQ(bar.Bounds(), (Rect{67, 100, 183, 9}));
}

TEST_F(ControlsTest, ProgressBarFillsInProportion) {
  ProgressBar bar(form.Hwnd(), Rect{10, 10, 200, 12});
  bar.SetRange(0, 100);
  bar.SetPosition(0);
  form.ShowNormal();
  const test::Image empty = test::CaptureClient(bar.Hwnd());
  bar.SetPosition(50);
  const test::Image half = test::CaptureClient(bar.Hwnd());
  // The middle row: how many pixels changed left and right of the middle.
  int changedLeft = 0, changedRight = 0;
  for (int x = 3; x < 197; ++x) {
    if (empty.At(x, 6) == half.At(x, 6)) continue;
    (x < 100 ? changedLeft : changedRight)++;
  }
  EXPECT_GT(changedLeft, 80);
  EXPECT_LT(changedRight, 10);
}

}  // namespace
}  // namespace lk::ui
