#include "platform/ui/control.h"

#include <commctrl.h>

#include "platform/error.h"
#include "platform/text.h"

namespace lk::ui {

Control* Control::FromHwnd(HWND hwnd) { return dynamic_cast<Control*>(Window::FromHwnd(hwnd)); }

void Control::CreateOwnChild(HWND parent, const wchar_t* className, DWORD style, int left, int top,
                             const char* what) {
  CreateWindowOf(WindowClass{className}, "", WindowPlace{left, top, 0, 0, style | WS_CHILD, 0, parent}, what);
}

void Control::SetBounds(const Rect& r) {
  SetWindowPos(Hwnd(), nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SetPosition(int left, int top) {
  SetWindowPos(Hwnd(), nullptr, left, top, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

void Control::SetSize(int width, int height) {
  SetWindowPos(Hwnd(), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

Rect Control::Bounds() const {
  RECT r{};
  GetWindowRect(Hwnd(), &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(Hwnd()), reinterpret_cast<POINT*>(&r), 2);
  return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Control::SetVisible(bool visible) { ShowWindow(Hwnd(), visible ? SW_SHOWNA : SW_HIDE); }

bool Control::Visible() const { return (GetWindowLongPtrW(Hwnd(), GWL_STYLE) & WS_VISIBLE) != 0; }

void Control::SetFont(std::string_view family, int heightPixels, int weight) {
  LOGFONTW lf{};
  lf.lfHeight = -heightPixels;
  lf.lfWeight = weight;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  const std::wstring name = Wide(family);
  lstrcpynW(lf.lfFaceName, name.c_str(), LF_FACESIZE);
  UniqueFont font(CreateFontIndirectW(&lf));
  if (!font) ThrowLastError("CreateFontIndirectW");
  SendMessageW(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  // The old font is released only after the window stopped using it.
  font_ = std::move(font);
  FontChanged();
}

HFONT Control::Font() const { return font_.get(); }

void Control::SetText(std::string_view text) { SetWindowTextW(Hwnd(), Wide(text).c_str()); }

std::string Control::Text() const { return WindowText(Hwnd()); }

bool Control::OnNotify(NMHDR*, LRESULT*) { return false; }
bool Control::OnCommand(UINT) { return false; }

void EnsureCommonControls() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)done;
}

HWND CreateChild(HWND parent, const wchar_t* className, DWORD style, DWORD exStyle, const Rect& r,
                 const char* what) {
  HWND hwnd = CreateWindowExW(exStyle, className, L"", style | WS_CHILD, r.left, r.top, r.width, r.height,
                              parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) ThrowLastError(what);
  return hwnd;
}

void PaintParentBackground(HWND child, HDC dc) {
  HWND parent = GetParent(child);
  if (!parent) return;
  POINT origin{0, 0};
  MapWindowPoints(child, parent, &origin, 1);
  POINT old{};
  OffsetViewportOrgEx(dc, -origin.x, -origin.y, &old);
  SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

BackBuffer::BackBuffer(HDC target, int width, int height)
    : memory_(CreateCompatibleDC(target)),
      bitmap_(CreateCompatibleBitmap(target, width > 0 ? width : 1, height > 0 ? height : 1)),
      dc_(target),
      width_(width),
      height_(height) {
  if (!memory_ || !bitmap_) {
    bitmap_.reset();
    memory_.reset();
    return;
  }
  selection_.emplace(memory_.get(), bitmap_.get());
  dc_ = memory_.get();
}

void BackBuffer::CopyTo(HDC target) const {
  if (selection_) BitBlt(target, 0, 0, width_, height_, dc_, 0, 0, SRCCOPY);
}

namespace {
ErrorDisplay& CurrentErrorDisplay() {
  static ErrorDisplay display;
  return display;
}
}  // namespace

void SetErrorDisplay(ErrorDisplay display) { CurrentErrorDisplay() = std::move(display); }

void ShowError(const std::exception& error) {
  try {
    if (const auto& display = CurrentErrorDisplay()) {
      display(error);
      return;
    }
    MessageBoxW(nullptr, Wide(error.what()).c_str(), L"", MB_OK | MB_ICONERROR);
  } catch (...) {
    // The error display itself failed; nothing is left to tell the player with.
  }
}

}  // namespace lk::ui
