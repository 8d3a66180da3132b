#include "platform/ui/image_button.h"

#include <windowsx.h>

namespace lk::ui {

namespace {
constexpr wchar_t kImageButtonClass[] = L"LkImage";

Picture CopyPicture(const Picture& p) { return Picture::CopyOf(p.Bitmap(), p.Mode()); }
}  // namespace

ImageButton::ImageButton(HWND parent, int left, int top) {
  CreateOwnChild(parent, kImageButtonClass, WS_VISIBLE, left, top, "ImageButton");
}

void ImageButton::SetPicture(HBITMAP bitmap, Transparency mode) { Show(Picture::CopyOf(bitmap, mode)); }

void ImageButton::SetPictures(HBITMAP normal, HBITMAP hover, Transparency mode) {
  normal_ = Picture::CopyOf(normal, mode);
  hover_ = Picture::CopyOf(hover, mode);
  hasHover_ = true;
  Show(hovered_ ? hover_ : normal_);
}

void ImageButton::Show(const Picture& picture) {
  picture_ = CopyPicture(picture);
  SetSize(picture_.Width(), picture_.Height());
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

void ImageButton::Paint(HDC dc) {
  RECT r{};
  GetClientRect(Hwnd(), &r);
  if (r.right <= 0 || r.bottom <= 0) return;
  BackBuffer back(dc, r.right, r.bottom);
  PaintParentBackground(Hwnd(), back.Dc());
  picture_.Draw(back.Dc(), 0, 0);
  back.CopyTo(dc);
}

LRESULT ImageButton::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  HWND hwnd = Hwnd();
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PaintDc dc(hwnd);
      Paint(dc.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_MOUSEMOVE:
      if (!hovered_) {
        // Windows sends no "enter"; the first move is the entry, and
        // TrackMouseEvent asks for the matching WM_MOUSELEAVE.
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&tme);
        hovered_ = true;
        if (hasHover_) Guarded([&] { Show(hover_); });
        if (onMouseEnter) Guarded([&] { onMouseEnter(); });
      }
      return 0;
    case WM_MOUSELEAVE:
      if (hovered_) {
        hovered_ = false;
        if (hasHover_) Guarded([&] { Show(normal_); });
        if (onMouseLeave) Guarded([&] { onMouseLeave(); });
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      pressed_ = true;
      SetCapture(hwnd);
      return 0;
    case WM_LBUTTONUP: {
      const bool wasPressed = pressed_;
      pressed_ = false;
      if (GetCapture() == hwnd) ReleaseCapture();
      RECT r{};
      GetClientRect(hwnd, &r);
      const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      if (wasPressed && PtInRect(&r, p) && onClick) Guarded([&] { onClick(); });
      return 0;
    }
    case WM_CAPTURECHANGED:
      pressed_ = false;
      return 0;
    default:
      break;
  }
  return DefaultHandling(msg, wp, lp);
}

}  // namespace lk::ui
