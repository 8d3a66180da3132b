#pragma once
// The small native window toolkit: the base of every child control.
// Windows only: include these headers from _win.cpp files alone.
//
// A control object owns its child window. The form reflects WM_NOTIFY and
// WM_COMMAND to the object found on the child window's property, so each
// control answers its own notifications (custom draw, selection changes,
// clicks) instead of one big switch in the form.
#include <windows.h>

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/handles.h"

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

class Control {
 public:
  Control() = default;
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  HWND Hwnd() const { return hwnd_; }

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
  // Takes ownership of a freshly created child window (throws when null).
  void Attach(HWND hwnd, const char* what);
  virtual void FontChanged() {}
  // Called from a toolkit window procedure on WM_NCDESTROY: the window is
  // gone (its parent was destroyed first), so the destructor must not touch it.
  void Detach();

 private:
  HWND hwnd_ = nullptr;
  UniqueGdiObject font_;
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

// Registers a window class once per process; extra bytes none, arrow cursor,
// no background brush (every toolkit window paints its whole client area).
void RegisterToolkitClass(const wchar_t* className, WNDPROC proc, UINT style = 0);

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
  ~BackBuffer();
  BackBuffer(const BackBuffer&) = delete;
  BackBuffer& operator=(const BackBuffer&) = delete;
  HDC Dc() const { return dc_; }
  void CopyTo(HDC target) const;

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  int width_;
  int height_;
};

}  // namespace lk::ui
