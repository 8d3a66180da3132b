#pragma once
// A notification-area (tray) icon with its own hidden window, which receives
// the shell's callback messages. Windows only.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/window.h"

namespace lk::ui {

enum class MouseButton { kLeft, kRight, kMiddle };

class TrayIcon : public Window {
 public:
  // The message the shell sends to Hwnd(): wParam the icon id (1), lParam the
  // mouse message (WM_LBUTTONDOWN ...). A test may send it as the shell does.
  static constexpr UINT kCallbackMessage = WM_APP + 0x54;
  // The class of the hidden window, so an outside program can find it.
  static constexpr const wchar_t* kWindowClass = L"LkTrayIconWindow";

  TrayIcon();
  ~TrayIcon() override;

  // The icon is not owned; default is the program's first icon resource.
  void SetIcon(HICON icon);
  void SetTip(std::string_view tip);
  // Adds the icon to the notification area; false when the shell refused.
  bool Show();
  void Hide();
  bool Visible() const { return visible_; }

  // A press of any mouse button on the icon, with the cursor's screen point.
  std::function<void(MouseButton, POINT)> onMouseDown;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool Notify(DWORD action);

  HICON icon_;
  std::wstring tip_;
  bool visible_ = false;
  UINT taskbarCreated_;
};

}  // namespace lk::ui
