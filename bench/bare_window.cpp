// The reference for the launcher's start-up benchmark: the plainest Win32
// program that shows a top-level window (titled by its argument) and runs a
// message loop until it is closed.
#include <windows.h>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR title, int show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = L"BareWindow";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"BareWindow", title, WS_POPUP, 100, 100, 982, 588, nullptr, nullptr, instance,
                              nullptr);
  ShowWindow(hwnd, show == SW_HIDE ? SW_SHOWNORMAL : show);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
