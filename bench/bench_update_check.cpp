// The update check timed inside Wine, so that no process start of the
// measuring side counts:
//   bench_update_check.exe <launcher.exe> <status label control ID>
// starts the launcher, then looks every millisecond for its visible main
// window (class TForm2) and, from then on, for the end of the update run
// on the status label: "更新完成。" or a text starting with "更新失败".
// Prints "shown=<ms> done=<ms> text=<final text>" (from CreateProcessW),
// then ends the launcher.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindVisible(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t cls[64];
  if (pid == s->pid && IsWindowVisible(h) && GetClassNameW(h, cls, 64) && wcscmp(cls, L"TForm2") == 0) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

double Ms(const LARGE_INTEGER& from, const LARGE_INTEGER& freq) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: bench_update_check <launcher.exe> <status label id>\n", stderr);
    return 2;
  }
  const int label_id = _wtoi(argv[2]);
  LARGE_INTEGER freq, t0;
  QueryPerformanceFrequency(&freq);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + std::wstring(argv[1]) + L"\"";
  std::wstring dir = argv[1];
  dir = dir.substr(0, dir.find_last_of(L"\\/"));
  QueryPerformanceCounter(&t0);
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) return 1;
  Search s{pi.dwProcessId, nullptr};
  double shown = -1, done = -1;
  std::wstring text;
  for (int i = 0; i < 600000 && done < 0; ++i) {
    if (!s.found) {
      EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&s));
      if (s.found) shown = Ms(t0, freq);
    } else {
      wchar_t buf[512] = {};
      GetWindowTextW(GetDlgItem(s.found, label_id), buf, 512);
      text = buf;
      if (text == L"更新完成。" || text.rfind(L"更新失败", 0) == 0) done = Ms(t0, freq);
    }
    if (done < 0) Sleep(1);
  }
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  char utf8[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  std::printf("shown=%.1f done=%.1f text=%s\n", shown, done, utf8);
  return done >= 0 ? 0 : 1;
}
