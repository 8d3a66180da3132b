#pragma once
// The base of every window whose messages this program answers: the form,
// the toolkit's own controls, the tray icon's window, the web browser's
// container, the UI dispatcher's message-only window. It registers the
// window class once, binds the window to its object (the window-procedure
// thunk lives here and nowhere else) and hands every message to the
// object's HandleMessage. Windows of the system's classes (tree view, combo
// box, ...) are adopted instead: bound to the object, their messages left to
// their own class. Windows only.
#include <windows.h>

#include <string>
#include <string_view>

namespace lk {

// What a window class registers, once per process under its name. Every
// class gets the arrow cursor.
struct WindowClass {
  const wchar_t* name = nullptr;
  UINT style = 0;
  // Null: the window paints the whole of its client area itself.
  HBRUSH background = nullptr;
  HICON icon = nullptr;
};

// Where and how a window is made; the size is the whole window's.
struct WindowPlace {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  // A parent window, HWND_MESSAGE for a message-only window, or null.
  HWND parent = nullptr;
};

class Window {
 public:
  Window() = default;
  // Destroys a window that is still bound to this object. Its messages no
  // longer reach the (already destroyed) derived object meanwhile.
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Null before creation and once the window is gone (a window destroyed
  // with its parent unbinds itself).
  HWND Hwnd() const { return hwnd_; }

  // The object bound to a window created or adopted here, or null.
  static Window* FromHwnd(HWND hwnd);

 protected:
  // Registers cls (once) and creates the window bound to this object; from
  // WM_NCCREATE on its messages go to HandleMessage. Throws Error naming
  // `what` with the system's text.
  void CreateWindowOf(const WindowClass& cls, std::string_view title, const WindowPlace& place,
                      std::string_view what);
  // Binds a window of a system class made elsewhere (throws Error naming
  // `what` when hwnd is null, with the last error's text).
  void Adopt(HWND hwnd, std::string_view what);
  // Destroys the window now; the object stays.
  void DestroyHwnd();

  // The window's messages. Unhandled ones go to DefaultHandling.
  virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultHandling(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Unbind();

  HWND hwnd_ = nullptr;
};

// A window's text (GetWindowTextW) and its UTF-8 form.
std::wstring WindowTextWide(HWND hwnd);
std::string WindowText(HWND hwnd);

}  // namespace lk
