#pragma once
// The small native window toolkit: the base of every child control.
// Windows only: include these headers from _win.cpp files alone.
//
// A control object owns its child window (a Window: controls of the
// toolkit's own classes answer their messages in HandleMessage, system
// controls are adopted). The form reflects WM_NOTIFY and WM_COMMAND to the
// object bound to the child window, so each control answers its own
// notifications (custom draw, selection changes, clicks) instead of one big
// switch in the form.
#include <windows.h>

#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/handles.h"
#include "platform/window.h"

namespace lk::ui {

// Device pixels relative to the parent's client area.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// Points to pixels for a font size. The programs declare per-monitor DPI
// awareness and never scale, so a point is always 96/72 pixel, as on an
// unscaled desktop.
constexpr int PointsToPixels(int points) { return (points * 96 + 36) / 72; }

class Control : public Window {
 public:
  Control() = default;

  void SetBounds(const Rect& r);
  void SetPosition(int left, int top);
  void SetSize(int width, int height);
  Rect Bounds() const;

  void SetVisible(bool visible);
  // The control's own visibility flag, whatever its parent's state.
  bool Visible() const;

  // Font by family name and character height in pixels (negative LOGFONT
  // height: the cell minus its internal leading, as designers give it).
  void SetFont(std::string_view family, int heightPixels, int weight = FW_NORMAL);
  HFONT Font() const;

  // Window text, UTF-8.
  void SetText(std::string_view text);
  std::string Text() const;

  // Reflected by the form. Return true when handled; *result is then the
  // answer to the parent's message.
  virtual bool OnNotify(NMHDR* header, LRESULT* result);
  virtual bool OnCommand(UINT code);

  // The control object behind a child window made by this toolkit, or null.
  static Control* FromHwnd(HWND hwnd);

 protected:
  // A child window of the toolkit's own class `className`, bound to this
  // control (its messages reach HandleMessage), at (left, top), 0 x 0.
  void CreateOwnChild(HWND parent, const wchar_t* className, DWORD style, int left, int top,
                      const char* what);
  // Takes ownership of a freshly created child window of a system class
  // (throws when null).
  void Attach(HWND hwnd, const char* what) { Adopt(hwnd, what); }
  virtual void FontChanged() {}

 private:
  UniqueFont font_;
};

// Event handlers run inside window procedures, which an exception must never
// cross (user32's frames are not C++ frames). The toolkit calls every handler
// through Guarded: whatever escapes goes to the application's error display,
// set once by the program; without one the message goes to a plain message box.
using ErrorDisplay = std::function<void(const std::exception&)>;
void SetErrorDisplay(ErrorDisplay display);
void ShowError(const std::exception& error);
template <typename F>
void Guarded(F&& f) noexcept {
  try {
    f();
  } catch (const std::exception& e) {
    ShowError(e);
  } catch (...) {
    ShowError(std::runtime_error("unknown error"));
  }
}

// Registers the common control classes (tree, progress bar, ...) once. On
// Windows a program that never calls into comctl32 has no such classes.
void EnsureCommonControls();

// Creates a child window of the given class, throwing lk::Error on failure.
HWND CreateChild(HWND parent, const wchar_t* className, DWORD style, DWORD exStyle, const Rect& r,
                 const char* what);

// Paints into dc what the parent shows under the child: the parent draws its
// background for the child's rectangle (WM_PRINTCLIENT with the origin moved).
// This is what makes labels and image buttons transparent over the skin.
void PaintParentBackground(HWND child, HDC dc);

// A memory bitmap the size of a window's client area, for flicker-free paints.
// When no memory bitmap can be made the paint goes straight to the target:
// a paint must not fail.
class BackBuffer {
 public:
  BackBuffer(HDC target, int width, int height);
  BackBuffer(const BackBuffer&) = delete;
  BackBuffer& operator=(const BackBuffer&) = delete;
  HDC Dc() const { return dc_; }
  void CopyTo(HDC target) const;

 private:
  // Declared in this order so the bitmap is deselected before it and the
  // memory context go.
  UniqueDc memory_;
  UniqueBitmap bitmap_;
  std::optional<SelectionGuard> selection_;
  HDC dc_;
  int width_;
  int height_;
};

}  // namespace lk::ui
