#include "platform/ui/form.h"

#include <windowsx.h>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/ui/control.h"

namespace lk::ui {

Form::Form(std::string_view className, std::string_view title, int clientWidth, int clientHeight)
    : color_(GetSysColor(COLOR_BTNFACE)) {
  const std::wstring cls = Wide(className);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  if (!GetClassInfoExW(instance, cls.c_str(), &wc)) {
    wc.cbSize = sizeof wc;
    // No CS_DBLCLKS: a quick second press must start a drag like the first.
    wc.lpfnWndProc = &Form::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.lpszClassName = cls.c_str();
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
      throw Error("RegisterClassExW: " + SystemErrorText(GetLastError()));
  }
  // WS_POPUP without caption or frame: the window rectangle is the client
  // area. WS_EX_APPWINDOW keeps a taskbar button for the borderless window.
  hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, cls.c_str(), Wide(title).c_str(), WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                          clientWidth, clientHeight, nullptr, nullptr, instance, this);
  if (!hwnd_) throw Error("CreateWindowExW: " + SystemErrorText(GetLastError()));
}

Form::~Form() {
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void Form::SetTitle(std::string_view title) { SetWindowTextW(hwnd_, Wide(title).c_str()); }

std::string Form::Title() const {
  const int n = GetWindowTextLengthW(hwnd_);
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd_, buf.data(), n + 1);
  buf.resize(static_cast<size_t>(got > 0 ? got : 0));
  return Narrow(buf);
}

void Form::SetClientSize(int width, int height) {
  SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE Form::ClientSize() const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  return SIZE{r.right, r.bottom};
}

void Form::CenterOnScreen() {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetColor(COLORREF color) {
  color_ = color;
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void Form::SetBackground(HBITMAP bitmap, Transparency mode) {
  background_ = Picture::CopyOf(bitmap, mode);
  // Children paint the form's background under themselves: redraw them too.
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Form::EnableColorKey(COLORREF key) {
  if (colorKey_ == key) return;
  const LONG_PTR ex = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, ex | WS_EX_LAYERED);
  if (!SetLayeredWindowAttributes(hwnd_, key, 0, LWA_COLORKEY))
    throw Error("SetLayeredWindowAttributes: " + SystemErrorText(GetLastError()));
  colorKey_ = key;
}

void Form::ShowNormal() { ShowWindow(hwnd_, SW_SHOWNORMAL); }

void Form::Hide() { ShowWindow(hwnd_, SW_HIDE); }

void Form::Close() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

void Form::PaintBackground(HDC dc) const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  HBRUSH brush = CreateSolidBrush(color_);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  background_.Draw(dc, 0, 0);
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!form) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    form->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return form->Handle(msg, wp, lp);
}

LRESULT Form::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  if (onMessage) {
    std::optional<LRESULT> handled;
    Guarded([&] { handled = onMessage(msg, wp, lp); });
    if (handled) return *handled;
  }
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers everything through the back buffer
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      const SIZE size = ClientSize();
      {
        BackBuffer back(dc, size.cx, size.cy);
        PaintBackground(back.Dc());
        if (onPaint) Guarded([&] { onPaint(back.Dc()); });
        back.CopyTo(dc);
      }
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      // Also how labels and image buttons get the background under them.
      PaintBackground(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_LBUTTONDOWN:
      if (draggable_) {
        // Client coordinates are signed: GET_X_LPARAM, not LOWORD.
        pressPoint_ = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        dragging_ = true;
        SetCapture(hwnd_);
      }
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_) {
        // The press point stays: the window follows the cursor, so the cursor
        // keeps its client position and every move is a fresh distance.
        const int dx = GET_X_LPARAM(lp) - pressPoint_.x;
        const int dy = GET_Y_LPARAM(lp) - pressPoint_.y;
        if (dx != 0 || dy != 0) {
          RECT r{};
          GetWindowRect(hwnd_, &r);
          SetWindowPos(hwnd_, nullptr, r.left + dx, r.top + dy, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_XBUTTONUP:
      dragging_ = false;
      if (GetCapture() == hwnd_) ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      // Someone else took the mouse (a menu, a dialog): the drag is over.
      dragging_ = false;
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lp);
      if (Control* control = Control::FromHwnd(header->hwndFrom)) {
        LRESULT result = 0;
        if (control->OnNotify(header, &result)) return result;
      }
      break;
    }
    case WM_COMMAND:
      if (lp) {
        if (Control* control = Control::FromHwnd(reinterpret_cast<HWND>(lp))) {
          if (control->OnCommand(HIWORD(wp))) return 0;
        }
      }
      break;
    case WM_SHOWWINDOW:
      if (wp && onShow) Guarded([&] { onShow(); });
      break;
    case WM_CLOSE:
      if (onClose) Guarded([&] { onClose(); });
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      if (onDestroy) Guarded([&] { onDestroy(); });
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace lk::ui
