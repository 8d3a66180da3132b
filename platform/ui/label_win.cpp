#include "platform/ui/label.h"

#include <string>

#include "platform/text.h"

namespace lk::ui {

namespace {
constexpr wchar_t kLabelClass[] = L"LkLabel";
constexpr UINT kTextFormat = DT_LEFT | DT_TOP | DT_NOPREFIX | DT_SINGLELINE;

std::wstring WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, buf.data(), n + 1);
  buf.resize(static_cast<size_t>(got > 0 ? got : 0));
  return buf;
}
}  // namespace

Label::Label(HWND parent, int left, int top, std::string_view text) {
  RegisterToolkitClass(kLabelClass, &Label::WindowProc);
  Attach(CreateChild(parent, kLabelClass, WS_VISIBLE, 0, Rect{left, top, 0, 0}, "Label"), "Label");
  SetCaption(text);
  AutoSize();  // also for an empty text, which sets nothing new
}

void Label::SetColor(COLORREF color) {
  color_ = color;
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Label::SetCaption(std::string_view text) { SetText(text); }

void Label::FontChanged() { AutoSize(); }

SIZE Label::TextExtent() const {
  const std::wstring text = WindowText(Hwnd());
  HDC dc = GetDC(Hwnd());
  HGDIOBJ old = SelectObject(dc, Font() ? static_cast<HGDIOBJ>(Font()) : GetStockObject(DEFAULT_GUI_FONT));
  RECT r{0, 0, 0, 0};
  if (text.empty()) {
    // An empty label keeps the height of one line, as a text label does.
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    r.bottom = tm.tmHeight;
  } else {
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, kTextFormat | DT_CALCRECT);
  }
  SelectObject(dc, old);
  ReleaseDC(Hwnd(), dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void Label::AutoSize() {
  const SIZE extent = TextExtent();
  SetSize(extent.cx, extent.cy);
  // The old text's pixels lie on the parent's surface under the label.
  InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Label::Paint(HDC dc) {
  RECT r{};
  GetClientRect(Hwnd(), &r);
  BackBuffer back(dc, r.right, r.bottom);
  PaintParentBackground(Hwnd(), back.Dc());
  const std::wstring text = WindowText(Hwnd());
  HGDIOBJ old =
      SelectObject(back.Dc(), Font() ? static_cast<HGDIOBJ>(Font()) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(back.Dc(), TRANSPARENT);
  SetTextColor(back.Dc(), color_);
  DrawTextW(back.Dc(), text.c_str(), static_cast<int>(text.size()), &r, kTextFormat);
  SelectObject(back.Dc(), old);
  back.CopyTo(dc);
}

LRESULT CALLBACK Label::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<Label*>(Control::FromHwnd(hwnd));
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (self) self->Paint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      if (self) self->Paint(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_SETTEXT: {
      // Whoever sets the text (SetCaption, SetWindowTextW), the label fits it.
      const LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
      if (self) self->AutoSize();
      return r;
    }
    case WM_NCDESTROY:
      if (self) self->Detach();
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace lk::ui
