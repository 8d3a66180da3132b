// Start-up to a visible window, measured inside Wine so that no process
// start of the measuring side is counted:
//   bench_startup.exe time <exe> <window class> <runs> [launcher]
//     starts <exe> <runs> times, each time measuring from CreateProcessW to
//     the first visible top-level window of that class owned by the new
//     process, then ends the process. Prints "visible=<m1>,<m2>,...".
//     With "launcher" it also waits, in the same run, until that window's
//     tree control holds items and until two web browser controls ("Shell
//     Embedding" windows) exist below it, and prints "tree=..." and
//     "browsers=..." as well. A milestone not reached within 60 s is -1.
//   bench_startup.exe            (no arguments)
//     the reference: a plain Win32 program that registers a class, creates
//     and shows one window, and runs its message loop.
#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>

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

struct Children {
  HWND tree = nullptr;
  int browsers = 0;
};

BOOL CALLBACK CountChild(HWND h, LPARAM lp) {
  auto* c = reinterpret_cast<Children*>(lp);
  wchar_t cls[256];
  if (GetClassNameW(h, cls, 256)) {
    if (wcscmp(cls, WC_TREEVIEWW) == 0) c->tree = h;
    if (wcscmp(cls, L"Shell Embedding") == 0) ++c->browsers;
  }
  return TRUE;
}

struct Times {
  double visible = -1, tree = -1, browsers = -1;
};

double Ms(const LARGE_INTEGER& from, const LARGE_INTEGER& freq) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

Times TimeOne(const std::wstring& exe, const wchar_t* cls, bool launcher) {
  Times t;
  LARGE_INTEGER freq, t0;
  QueryPerformanceFrequency(&freq);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + exe + L"\"";
  // The launcher's folder is its working folder, as when a player starts it.
  const std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/") + 1);
  QueryPerformanceCounter(&t0);
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi))
    return t;
  Search s{pi.dwProcessId, cls, nullptr};
  while (Ms(t0, freq) < 60000) {
    if (!s.found) {
      EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&s));
      if (s.found) t.visible = Ms(t0, freq);
    }
    if (s.found && launcher) {
      Children c;
      EnumChildWindows(s.found, CountChild, reinterpret_cast<LPARAM>(&c));
      if (t.tree < 0 && c.tree && SendMessageW(c.tree, TVM_GETCOUNT, 0, 0) > 0) t.tree = Ms(t0, freq);
      if (t.browsers < 0 && c.browsers >= 2) t.browsers = Ms(t0, freq);
    }
    if (s.found && (!launcher || (t.tree >= 0 && t.browsers >= 0))) break;
    Sleep(1);
  }
  // A moment for whatever the program does right after (e.g. a timing
  // build writing its marks) before it is ended.
  if (launcher) Sleep(300);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return t;
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

void PrintList(const char* name, const std::vector<Times>& all, double Times::*field) {
  std::printf("%s=", name);
  for (std::size_t i = 0; i < all.size(); ++i) std::printf(i ? ",%.1f" : "%.1f", all[i].*field);
  std::printf("\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 1) return Bare();
  if (argc < 5 || wcscmp(argv[1], L"time") != 0) {
    std::fputs("usage: bench_startup [time <exe> <class> <runs> [launcher]]\n", stderr);
    return 2;
  }
  const int runs = _wtoi(argv[4]);
  const bool launcher = argc > 5 && wcscmp(argv[5], L"launcher") == 0;
  std::vector<Times> all;
  for (int i = 0; i < runs; ++i) all.push_back(TimeOne(argv[2], argv[3], launcher));
  PrintList("visible", all, &Times::visible);
  if (launcher) {
    PrintList("tree", all, &Times::tree);
    PrintList("browsers", all, &Times::browsers);
  }
  return 0;
}
