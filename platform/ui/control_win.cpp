#include "platform/ui/control.h"

#include <commctrl.h>

#include "platform/error.h"
#include "platform/text.h"

namespace lk::ui {

namespace {
// The window property that leads from a child window to its control object.
constexpr wchar_t kControlProp[] = L"lk.ui.control";
}  // namespace

Control::~Control() {
  // After the parent is destroyed the child window is gone too; the property
  // check keeps a reused handle of someone else's window from being destroyed.
  if (hwnd_ && IsWindow(hwnd_) && FromHwnd(hwnd_) == this) {
    RemovePropW(hwnd_, kControlProp);
    DestroyWindow(hwnd_);
  }
}

void Control::Attach(HWND hwnd, const char* what) {
  if (!hwnd) throw Error(std::string(what) + ": " + SystemErrorText(GetLastError()));
  hwnd_ = hwnd;
  SetPropW(hwnd_, kControlProp, this);
}

void Control::Detach() {
  if (hwnd_) RemovePropW(hwnd_, kControlProp);
  hwnd_ = nullptr;
}

Control* Control::FromHwnd(HWND hwnd) {
  return hwnd ? static_cast<Control*>(GetPropW(hwnd, kControlProp)) : nullptr;
}

void Control::SetBounds(const Rect& r) {
  SetWindowPos(hwnd_, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SetPosition(int left, int top) {
  SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

void Control::SetSize(int width, int height) {
  SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

Rect Control::Bounds() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
  return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Control::SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

bool Control::Visible() const { return (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }

void Control::SetFont(std::string_view family, int heightPixels, int weight) {
  LOGFONTW lf{};
  lf.lfHeight = -heightPixels;
  lf.lfWeight = weight;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  const std::wstring name = Wide(family);
  lstrcpynW(lf.lfFaceName, name.c_str(), LF_FACESIZE);
  UniqueGdiObject font(CreateFontIndirectW(&lf));
  if (!font) throw Error("CreateFontIndirectW: " + SystemErrorText(GetLastError()));
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  // The old font is released only after the window stopped using it.
  font_ = std::move(font);
  FontChanged();
}

HFONT Control::Font() const { return static_cast<HFONT>(font_.get()); }

void Control::SetText(std::string_view text) { SetWindowTextW(hwnd_, Wide(text).c_str()); }

std::string Control::Text() const {
  const int n = GetWindowTextLengthW(hwnd_);
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd_, buf.data(), n + 1);
  buf.resize(static_cast<size_t>(got > 0 ? got : 0));
  return Narrow(buf);
}

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
  if (!hwnd) throw Error(std::string(what) + ": " + SystemErrorText(GetLastError()));
  return hwnd;
}

void RegisterToolkitClass(const wchar_t* className, WNDPROC proc, UINT style) {
  WNDCLASSEXW wc{};
  if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &wc)) return;
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = className;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw Error("RegisterClassExW: " + SystemErrorText(GetLastError()));
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

BackBuffer::BackBuffer(HDC target, int width, int height) : width_(width), height_(height) {
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bitmap = CreateCompatibleBitmap(target, width > 0 ? width : 1, height > 0 ? height : 1);
  if (!dc || !bitmap) {
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
    dc_ = target;
    return;
  }
  dc_ = dc;
  bitmap_ = bitmap;
  old_ = SelectObject(dc_, bitmap_);
}

BackBuffer::~BackBuffer() {
  if (!bitmap_) return;
  SelectObject(dc_, old_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

void BackBuffer::CopyTo(HDC target) const {
  if (bitmap_) BitBlt(target, 0, 0, width_, height_, dc_, 0, 0, SRCCOPY);
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
