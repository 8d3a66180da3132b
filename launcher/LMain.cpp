#include "launcher/LMain.h"

#include "platform/error.h"
#include "platform/handles.h"
#include "platform/text.h"

namespace lk {

namespace {

// Borderless, with a system menu and a minimise box so that the task bar
// button and Alt+F4 behave as players expect.
constexpr DWORD kStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// The main window itself owns the task bar button.
constexpr DWORD kExStyle = WS_EX_APPWINDOW;

void RegisterClassOnce(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXW wc{};
  if (GetClassInfoExW(instance, TForm2::kClassName, &wc)) return;
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = TForm2::kClassName;
  if (!RegisterClassExW(&wc)) throw Error("RegisterClassExW: " + SystemErrorText(GetLastError()));
}

}  // namespace

TForm2::~TForm2() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void TForm2::Create(HINSTANCE instance, const std::string& title, int show_command) {
  RegisterClassOnce(instance, &TForm2::WndProc);
  RECT r{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
  const int w = r.right - r.left, h = r.bottom - r.top;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + ((work.right - work.left) - w) / 2;
  const int y = work.top + ((work.bottom - work.top) - h) / 2;
  // The object travels as the creation parameter, so that it is known from
  // the window's first message on.
  if (!CreateWindowExW(kExStyle, kClassName, Wide(title).c_str(), kStyle, x, y, w, h, nullptr, nullptr,
                       instance, this))
    throw Error("CreateWindowExW: " + SystemErrorText(GetLastError()));
  ShowWindow(hwnd_, show_command);
  UpdateWindow(hwnd_);
}

LRESULT CALLBACK TForm2::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* created = static_cast<TForm2*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    created->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  auto* self = reinterpret_cast<TForm2*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->OnMessage(msg, wp, lp);
}

LRESULT TForm2::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_DESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

int RunMessageLoop() {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace lk
