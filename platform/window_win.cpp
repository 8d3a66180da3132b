#include "platform/window.h"

#include <string>

#include "platform/handles.h"
#include "platform/text.h"

namespace lk {
namespace {

// The window property that leads from a window to its object. A property
// rather than GWLP_USERDATA: adopted windows of the system's classes may use
// their user data themselves.
constexpr wchar_t kObjectProp[] = L"lk.window";

void RegisterOnce(const WindowClass& cls, WNDPROC procedure) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(instance, cls.name, &wc)) return;
  wc.style = cls.style;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = cls.background;
  wc.hIcon = cls.icon;
  wc.lpszClassName = cls.name;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    ThrowLastError("RegisterClassExW");
}

}  // namespace

Window::~Window() {
  // The check keeps a reused handle of someone else's window from being
  // destroyed.
  if (hwnd_ && IsWindow(hwnd_) && FromHwnd(hwnd_) == this) {
    const HWND hwnd = hwnd_;
    Unbind();
    DestroyWindow(hwnd);
  }
}

Window* Window::FromHwnd(HWND hwnd) {
  return hwnd ? static_cast<Window*>(GetPropW(hwnd, kObjectProp)) : nullptr;
}

void Window::CreateWindowOf(const WindowClass& cls, std::string_view title, const WindowPlace& place,
                            std::string_view what) {
  RegisterOnce(cls, &Window::Procedure);
  // WM_NCCREATE binds the window (Procedure); a failed creation has already
  // unbound it again by WM_NCDESTROY.
  if (!CreateWindowExW(place.exStyle, cls.name, Wide(title).c_str(), place.style, place.left, place.top,
                       place.width, place.height, place.parent, nullptr, GetModuleHandleW(nullptr), this))
    ThrowLastError(what);
}

void Window::Adopt(HWND hwnd, std::string_view what) {
  if (!hwnd) ThrowLastError(what);
  hwnd_ = hwnd;
  SetPropW(hwnd_, kObjectProp, this);
}

void Window::DestroyHwnd() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void Window::Unbind() {
  if (hwnd_) RemovePropW(hwnd_, kObjectProp);
  hwnd_ = nullptr;
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return DefaultHandling(msg, wp, lp); }

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    // Messages before this one (WM_GETMINMAXINFO of a top-level window)
    // find no object and get the default handling.
    if (auto* created = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams)) {
      created->hwnd_ = hwnd;
      SetPropW(hwnd, kObjectProp, created);
    }
  }
  Window* self = FromHwnd(hwnd);
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    // The window's last message: the object lets go of it first, so no
    // later call uses the dead handle.
    self->Unbind();
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return self->HandleMessage(msg, wp, lp);
}

std::wstring WindowTextWide(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, buf.data(), n + 1);
  buf.resize(static_cast<size_t>(got > 0 ? got : 0));
  return buf;
}

std::string WindowText(HWND hwnd) { return Narrow(WindowTextWide(hwnd)); }

}  // namespace lk
