// Start-up to a visible window, measured inside Wine so that no process
// start of the measuring side is counted:
//   bench_startup.exe time <exe> <window class> <runs>
//     starts <exe> <runs> times, each time measuring from CreateProcessW to
//     the first visible top-level window of that class owned by the new
//     process, then ends the process. Prints "ms=<m1>,<m2>,...".
//   bench_startup.exe            (no arguments)
//     the reference: a plain Win32 program that registers a class, creates
//     and shows one window, and runs its message loop.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
  DWORD pid;
  const wchar_t* cls;
  HWND found;
};

BOOL CALLBACK FindVisible(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t cls[256];
  if (pid == s->pid && IsWindowVisible(h) && GetClassNameW(h, cls, 256) && wcscmp(cls, s->cls) == 0) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

double TimeOne(const std::wstring& exe, const wchar_t* cls) {
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + exe + L"\"";
  QueryPerformanceCounter(&t0);
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  Search s{pi.dwProcessId, cls, nullptr};
  for (int i = 0; i < 60000 && !s.found; ++i) {
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&s));
    if (!s.found) Sleep(1);
  }
  QueryPerformanceCounter(&t1);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (!s.found) return -1;
  return 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart);
}

LRESULT CALLBACK BareProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(h, m, w, l);
}

int Bare() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = BareProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"BareWindow";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  RegisterClassW(&wc);
  HWND h = CreateWindowExW(0, L"BareWindow", L"bare", WS_POPUP, 100, 100, 982, 588, nullptr, nullptr,
                           wc.hInstance, nullptr);
  ShowWindow(h, SW_SHOWNORMAL);
  UpdateWindow(h);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 1) return Bare();
  if (argc < 5 || wcscmp(argv[1], L"time") != 0) {
    std::fputs("usage: bench_startup [time <exe> <class> <runs>]\n", stderr);
    return 2;
  }
  const int runs = _wtoi(argv[4]);
  std::printf("ms=");
  for (int i = 0; i < runs; ++i) std::printf(i ? ",%.1f" : "%.1f", TimeOne(argv[2], argv[3]));
  std::printf("\n");
  return 0;
}
