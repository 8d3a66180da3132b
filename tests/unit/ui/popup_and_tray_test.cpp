// The popup menu (shown, chosen by keys, dismissed) and the tray icon's
// callback message.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/form.h"
#include "platform/ui/image_button.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/tray_icon.h"
#include "tests/unit/ui/ui_test_support.h"

namespace lk::ui {
namespace {

using test::Pump;

TEST(PopupMenu, ItemsAndTexts) {
  PopupMenu menu;
  EXPECT_EQ(menu.Add("远程软件1", nullptr), 0);
  EXPECT_EQ(menu.Add("远程软件2", nullptr), 1);
  EXPECT_EQ(menu.Count(), 2);
  EXPECT_EQ(GetMenuItemCount(menu.Handle()), 2);
  EXPECT_EQ(menu.ItemText(1), "远程软件2");
  menu.SetItemText(0, "向日葵");
  EXPECT_EQ(menu.ItemText(0), "向日葵");
  EXPECT_EQ(menu.ItemText(1), "远程软件2");
  EXPECT_EQ(GetMenuItemCount(menu.Handle()), 2);
}

TEST(PopupMenu, ScreenPointBelowAControl) {
  Form form("LkTestForm", "below", 300, 200);
  SetWindowPos(form.Hwnd(), nullptr, 100, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ImageButton image(form.Hwnd(), 248, 8);
  test::Bitmap pic(test::MakeBitmap(30, 25, [](int, int) { return test::Opaque(9, 9, 9); }));
  image.SetPicture(pic.get(), Transparency::kAlpha);
  const POINT p = ScreenPointBelow(image.Hwnd());
  EXPECT_EQ(p.x, 100 + 248);
  EXPECT_EQ(p.y, 120 + 8 + 25);
}

// What the menu loop shows and does, driven from a timer that runs inside it.
struct MenuDriver {
  static inline RECT shownAt{};
  static inline std::vector<WPARAM> keys;
  static inline HWND owner = nullptr;
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    if (!menuWindow || !IsWindowVisible(menuWindow)) return;
    KillTimer(nullptr, id);
    GetWindowRect(menuWindow, &shownAt);
    for (WPARAM key : keys) PostMessageW(owner, WM_KEYDOWN, key, 0);
  }
};

struct MenuCase {
  const char* name;
  std::vector<WPARAM> keys;
  int chosen;
};

class PopupMenuChoice : public ::testing::TestWithParam<MenuCase> {};

TEST_P(PopupMenuChoice, ShowsAtThePointAndRunsTheChosenItem) {
  Form form("LkTestForm", "menu owner", 300, 200);
  SetWindowPos(form.Hwnd(), HWND_TOP, 100, 100, 0, 0, SWP_NOSIZE);
  form.ShowNormal();
  Pump(50);
  std::vector<int> ran;
  PopupMenu menu;
  menu.Add("远程软件1", [&] { ran.push_back(0); });
  menu.Add("远程软件2", [&] { ran.push_back(1); });
  MenuDriver::shownAt = RECT{};
  MenuDriver::keys = GetParam().keys;
  MenuDriver::owner = form.Hwnd();
  SetTimer(nullptr, 0, 50, &MenuDriver::Tick);
  const int chosen = menu.Popup(form.Hwnd(), POINT{348, 153});
  EXPECT_EQ(MenuDriver::shownAt.left, 348);
  EXPECT_EQ(MenuDriver::shownAt.top, 153);
  EXPECT_EQ(chosen, GetParam().chosen);
  if (chosen >= 0)
    EXPECT_EQ(ran, (std::vector<int>{chosen}));
  else
    EXPECT_TRUE(ran.empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, PopupMenuChoice,
                         ::testing::Values(MenuCase{"First", {VK_DOWN, VK_RETURN}, 0},
                                           MenuCase{"Second", {VK_DOWN, VK_DOWN, VK_RETURN}, 1},
                                           MenuCase{"Dismissed", {VK_ESCAPE}, -1}),
                         [](const ::testing::TestParamInfo<MenuCase>& p) {
                           return std::string(p.param.name);
                         });

class TrayIconTest : public ::testing::Test {
 protected:
  void Deliver(LPARAM mouseMessage, WPARAM id = 1) {
    SendMessageW(tray.Hwnd(), TrayIcon::kCallbackMessage, id, mouseMessage);
  }
  TrayIcon tray;
  std::vector<MouseButton> presses;
};

TEST_F(TrayIconTest, ShowsInTheNotificationArea) {
  tray.SetTip("测试登录器");
  ASSERT_TRUE(tray.Show());
  EXPECT_TRUE(tray.Visible());
  EXPECT_TRUE(tray.Show()) << "showing again keeps it";
  EXPECT_EQ(FindWindowW(TrayIcon::kWindowClass, nullptr), tray.Hwnd());
  tray.Hide();
  EXPECT_FALSE(tray.Visible());
  EXPECT_TRUE(tray.Show()) << "and it comes back";
}

TEST_F(TrayIconTest, AnyButtonPressRaisesMouseDown) {
  tray.onMouseDown = [&](MouseButton b, POINT) { presses.push_back(b); };
  ASSERT_TRUE(tray.Show());
  for (LPARAM m : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_LBUTTONDBLCLK}) Deliver(m);
  EXPECT_EQ(presses, (std::vector<MouseButton>{MouseButton::kLeft, MouseButton::kRight, MouseButton::kMiddle,
                                               MouseButton::kLeft}));
  presses.clear();
  for (LPARAM m : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_CONTEXTMENU}) Deliver(m);
  Deliver(WM_LBUTTONDOWN, 2);  // another icon's id
  EXPECT_TRUE(presses.empty());
}

TEST_F(TrayIconTest, RestoresAHiddenFormAsTheLauncherDoes) {
  Form form("LkTestForm", "tray restore", 100, 100);
  form.ShowNormal();
  form.Hide();
  tray.onMouseDown = [&](MouseButton, POINT) { form.ShowNormal(); };
  ASSERT_TRUE(tray.Show());
  Deliver(WM_RBUTTONDOWN);
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(IsIconic(form.Hwnd()));
  ShowWindow(form.Hwnd(), SW_MINIMIZE);
  Deliver(WM_LBUTTONDOWN);
  EXPECT_FALSE(IsIconic(form.Hwnd())) << "a minimised window comes back in the normal state";
}

TEST_F(TrayIconTest, AHandlerErrorGoesToTheErrorDisplay) {
  std::string shown;
  SetErrorDisplay([&](const std::exception& e) { shown = e.what(); });
  tray.onMouseDown = [](MouseButton, POINT) { throw std::runtime_error("托盘错误"); };
  Deliver(WM_LBUTTONDOWN);
  EXPECT_EQ(shown, "托盘错误");
  SetErrorDisplay(nullptr);
}

}  // namespace
}  // namespace lk::ui
