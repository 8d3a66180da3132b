#include "platform/ui/form.h"

#include <windowsx.h>

#include "platform/handles.h"
#include "platform/text.h"
#include "platform/ui/control.h"

namespace lk::ui {

Form::Form(std::string_view className, std::string_view title, int clientWidth, int clientHeight)
    : color_(GetSysColor(COLOR_BTNFACE)) {
  const std::wstring cls = Wide(className);
  HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  if (!icon) icon = LoadIconW(nullptr, IDI_APPLICATION);
  // No CS_DBLCLKS: a quick second press must start a drag like the first.
  // WS_POPUP without caption or frame: the window rectangle is the client
  // area. WS_EX_APPWINDOW keeps a taskbar button for the borderless window.
  CreateWindowOf(
      WindowClass{cls.c_str(), 0, nullptr, icon}, title,
      WindowPlace{0, 0, clientWidth, clientHeight, WS_POPUP | WS_CLIPCHILDREN, WS_EX_APPWINDOW, nullptr},
      "CreateWindowExW");
}

void Form::SetTitle(std::string_view title) { SetWindowTextW(Hwnd(), Wide(title).c_str()); }

std::string Form::Title() const { return WindowText(Hwnd()); }

void Form::SetClientSize(int width, int height) {
  SetWindowPos(Hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE Form::ClientSize() const {
  RECT r{};
  GetClientRect(Hwnd(), &r);
  return SIZE{r.right, r.bottom};
}

void Form::CenterOnScreen() {
  CenterIn(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

void Form::CenterOnWorkArea() {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  CenterIn(work);
}

void Form::CenterIn(const RECT& area) {
  RECT r{};
  GetWindowRect(Hwnd(), &r);
  const int x = area.left + (area.right - area.left - (r.right - r.left)) / 2;
  const int y = area.top + (area.bottom - area.top - (r.bottom - r.top)) / 2;
  SetWindowPos(Hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetColor(COLORREF color) {
  color_ = color;
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Form::SetBackground(HBITMAP bitmap, Transparency mode) {
  background_ = Picture::CopyOf(bitmap, mode);
  // Children paint the form's background under themselves: redraw them too.
  RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Form::EnableColorKey(COLORREF key) {
  if (colorKey_ == key) return;
  const LONG_PTR ex = GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE);
  if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrW(Hwnd(), GWL_EXSTYLE, ex | WS_EX_LAYERED);
  if (!SetLayeredWindowAttributes(Hwnd(), key, 0, LWA_COLORKEY)) ThrowLastError("SetLayeredWindowAttributes");
  colorKey_ = key;
}

void Form::ShowNormal() { ShowWindow(Hwnd(), SW_SHOWNORMAL); }

void Form::Hide() { ShowWindow(Hwnd(), SW_HIDE); }

void Form::Close() { SendMessageW(Hwnd(), WM_CLOSE, 0, 0); }

void Form::PaintBackground(HDC dc) const {
  RECT r{};
  GetClientRect(Hwnd(), &r);
  const UniqueBrush brush(CreateSolidBrush(color_));
  FillRect(dc, &r, brush.get());
  background_.Draw(dc, 0, 0);
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (onMessage) {
    std::optional<LRESULT> handled;
    Guarded([&] { handled = onMessage(msg, wp, lp); });
    if (handled) return *handled;
  }
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers everything through the back buffer
    case WM_PAINT: {
      PaintDc dc(Hwnd());
      const SIZE size = ClientSize();
      BackBuffer back(dc.get(), size.cx, size.cy);
      PaintBackground(back.Dc());
      if (onPaint) Guarded([&] { onPaint(back.Dc()); });
      back.CopyTo(dc.get());
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
        SetCapture(Hwnd());
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
          GetWindowRect(Hwnd(), &r);
          SetWindowPos(Hwnd(), nullptr, r.left + dx, r.top + dy, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_XBUTTONUP:
      dragging_ = false;
      if (GetCapture() == Hwnd()) ReleaseCapture();
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
      DestroyWindow(Hwnd());
      return 0;
    case WM_DESTROY:
      if (onDestroy) Guarded([&] { onDestroy(); });
      return 0;
    default:
      break;
  }
  return DefaultHandling(msg, wp, lp);
}

}  // namespace lk::ui
