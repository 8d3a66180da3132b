#include "platform/ui/label.h"

#include <string>

#include "platform/text.h"

namespace lk::ui {

namespace {
constexpr wchar_t kLabelClass[] = L"LkLabel";
constexpr UINT kTextFormat = DT_LEFT | DT_TOP | DT_NOPREFIX | DT_SINGLELINE;

HGDIOBJ CurrentFontOf(HFONT font) {
  return font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT);
}
}  // namespace

Label::Label(HWND parent, int left, int top, std::string_view text) {
  CreateOwnChild(parent, kLabelClass, WS_VISIBLE, left, top, "Label");
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
  const std::wstring text = WindowTextWide(Hwnd());
  WindowDc dc(Hwnd());
  SelectionGuard font(dc.get(), CurrentFontOf(Font()));
  RECT r{0, 0, 0, 0};
  if (text.empty()) {
    // An empty label keeps the height of one line, as a text label does.
    TEXTMETRICW tm{};
    GetTextMetricsW(dc.get(), &tm);
    r.bottom = tm.tmHeight;
  } else {
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &r, kTextFormat | DT_CALCRECT);
  }
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
  const std::wstring text = WindowTextWide(Hwnd());
  {
    SelectionGuard font(back.Dc(), CurrentFontOf(Font()));
    SetBkMode(back.Dc(), TRANSPARENT);
    SetTextColor(back.Dc(), color_);
    DrawTextW(back.Dc(), text.c_str(), static_cast<int>(text.size()), &r, kTextFormat);
  }
  back.CopyTo(dc);
}

LRESULT Label::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PaintDc dc(Hwnd());
      Paint(dc.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_SETTEXT: {
      // Whoever sets the text (SetCaption, SetWindowTextW), the label fits it.
      const LRESULT r = DefaultHandling(msg, wp, lp);
      AutoSize();
      return r;
    }
    default:
      return DefaultHandling(msg, wp, lp);
  }
}

}  // namespace lk::ui
