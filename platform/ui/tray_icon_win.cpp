#include "platform/ui/tray_icon.h"

#include <shellapi.h>

#include "platform/error.h"
#include "platform/handles.h"
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
  RegisterToolkitClass(kWindowClass, &TrayIcon::WindowProc);
  // A hidden top-level window rather than a message-only one: only top-level
  // windows hear "TaskbarCreated" when the shell restarts and must re-add.
  hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                          instance, this);
  if (!hwnd_) throw Error("CreateWindowExW: " + SystemErrorText(GetLastError()));
}

TrayIcon::~TrayIcon() {
  Hide();
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

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
  data.hWnd = hwnd_;
  data.uID = kIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = icon_;
  lstrcpynW(data.szTip, tip_.c_str(), ARRAYSIZE(data.szTip));
  return Shell_NotifyIconW(action, &data) != FALSE;
}

LRESULT CALLBACK TrayIcon::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<TrayIcon*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TrayIcon*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

LRESULT TrayIcon::Handle(UINT msg, WPARAM wp, LPARAM lp) {
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
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace lk::ui
