#pragma once
// A borderless top-level window with a fixed client size: the skinned main
// window's base. It paints its colour and an optional background picture at
// (0, 0) through a back buffer, can make one colour see-through (colour key),
// is dragged by its background with the left button, and reflects WM_NOTIFY
// and WM_COMMAND to the toolkit controls on it. Windows only.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/picture.h"
#include "platform/window.h"

namespace lk::ui {

// The skin's see-through colour.
inline constexpr COLORREF kColorKey = RGB(255, 0, 255);

class Form : public Window {
 public:
  // Registers the window class under className (once per process) and
  // creates the window hidden. The client area is clientWidth x clientHeight
  // and equals the window (no border, no title bar). Throws lk::Error.
  Form(std::string_view className, std::string_view title, int clientWidth, int clientHeight);

  void SetTitle(std::string_view title);
  std::string Title() const;

  void SetClientSize(int width, int height);
  SIZE ClientSize() const;
  // Centred on the primary screen, or on its work area (the screen without
  // the task bar).
  void CenterOnScreen();
  void CenterOnWorkArea();

  // The colour under everything the background picture does not cover.
  void SetColor(COLORREF color);
  COLORREF Color() const { return color_; }

  // Drawn at (0, 0) at its own size on every paint; a copy is kept. A null
  // bitmap removes the background.
  void SetBackground(HBITMAP bitmap, Transparency mode = Transparency::kOpaque);
  const Picture& Background() const { return background_; }

  // Makes every pixel of the key colour see-through (and click-through):
  // a layered window with LWA_COLORKEY. Setting it again changes nothing.
  void EnableColorKey(COLORREF key = kColorKey);
  std::optional<COLORREF> ColorKey() const { return colorKey_; }

  // Show in the normal state (also restores a minimised window) or hide.
  void ShowNormal();
  void Hide();
  bool Visible() const { return IsWindowVisible(Hwnd()) != FALSE; }
  // As the user closing it: onClose runs, then the window is destroyed.
  void Close();

  // Dragging by the background: a left press on the form's own surface (not
  // on a child control) captures the mouse; every move then moves the window
  // by the distance from the press point; the release of any button ends it.
  void SetDraggable(bool draggable) { draggable_ = draggable; }
  bool Dragging() const { return dragging_; }

  // Events. Each runs on the UI thread through Guarded (control.h).
  std::function<void()> onShow;      // the window becomes visible
  std::function<void()> onClose;     // before the window is destroyed
  std::function<void()> onDestroy;   // the window is being destroyed
  std::function<void(HDC)> onPaint;  // after the colour and background, into the back buffer
  // Any other message, before the form's own handling; return a result to
  // consume the message.
  std::function<std::optional<LRESULT>(UINT, WPARAM, LPARAM)> onMessage;

  // Draws colour and background into dc at the client area's coordinates.
  void PaintBackground(HDC dc) const;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void CenterIn(const RECT& area);

  COLORREF color_;
  Picture background_;
  std::optional<COLORREF> colorKey_;
  bool draggable_ = true;
  bool dragging_ = false;
  POINT pressPoint_{};
};

}  // namespace lk::ui
