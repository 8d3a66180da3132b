#include "platform/ui/tray_icon.h"

#include <shellapi.h>

#include "platform/text.h"
#include "platform/ui/control.h"

namespace lk::ui {

namespace {
constexpr UINT kIconId = 1;
}  // namespace

TrayIcon::TrayIcon() : taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  icon_ = LoadIconW(instance, MAKEINTRESOURCEW(1));
  if (!icon_) icon_ = LoadIconW(nullptr, IDI_APPLICATION);
  // A hidden top-level window rather than a message-only one: only top-level
  // windows hear "TaskbarCreated" when the shell restarts and must re-add.
  CreateWindowOf(WindowClass{kWindowClass}, "", WindowPlace{0, 0, 0, 0, WS_POPUP, WS_EX_TOOLWINDOW, nullptr},
                 "CreateWindowExW");
}

TrayIcon::~TrayIcon() { Hide(); }

void TrayIcon::SetIcon(HICON icon) {
  icon_ = icon;
  if (visible_) Notify(NIM_MODIFY);
}

void TrayIcon::SetTip(std::string_view tip) {
  tip_ = Wide(tip);
  if (visible_) Notify(NIM_MODIFY);
}

bool TrayIcon::Show() {
  if (!visible_) visible_ = Notify(NIM_ADD);
  return visible_;
}

void TrayIcon::Hide() {
  if (visible_) Notify(NIM_DELETE);
  visible_ = false;
}

bool TrayIcon::Notify(DWORD action) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = Hwnd();
  data.uID = kIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = icon_;
  lstrcpynW(data.szTip, tip_.c_str(), ARRAYSIZE(data.szTip));
  return Shell_NotifyIconW(action, &data) != FALSE;
}

LRESULT TrayIcon::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kCallbackMessage && wp == kIconId) {
    MouseButton button;
    switch (LOWORD(lp)) {
      // A double click arrives instead of the second press: still a press.
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
        button = MouseButton::kLeft;
        break;
      case WM_RBUTTONDOWN:
      case WM_RBUTTONDBLCLK:
        button = MouseButton::kRight;
        break;
      case WM_MBUTTONDOWN:
      case WM_MBUTTONDBLCLK:
        button = MouseButton::kMiddle;
        break;
      default:
        return 0;
    }
    POINT p{};
    GetCursorPos(&p);
    if (onMouseDown) Guarded([&] { onMouseDown(button, p); });
    return 0;
  }
  if (msg == taskbarCreated_ && visible_) {
    visible_ = Notify(NIM_ADD);
    return 0;
  }
  return DefaultHandling(msg, wp, lp);
}

}  // namespace lk::ui
