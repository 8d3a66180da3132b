// A stand-in game client for tests. It writes its command line, current
// directory and process ID (UTF-8, one per line) to the file named by the environment
// variable LK_FAKECLIENT_RECORD, when set, and then stays alive until it is
// ended from outside. The record is written to a side file and renamed, so a
// reader never sees half of it.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring Env(const wchar_t* name) {
  wchar_t buf[32768];
  const DWORD n = GetEnvironmentVariableW(name, buf, 32768);
  return n > 0 && n < 32768 ? std::wstring(buf, n) : std::wstring();
}

}  // namespace

int main() {
  const std::wstring record = Env(L"LK_FAKECLIENT_RECORD");
  if (!record.empty()) {
    wchar_t cwd[MAX_PATH * 4];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH * 4, cwd);
    const std::string text = Utf8(GetCommandLineW()) + "\n" + Utf8(std::wstring(cwd, n)) + "\n" +
                             std::to_string(GetCurrentProcessId()) + "\n";
    const std::wstring side = record + L".part";
    HANDLE f =
        CreateFileW(side.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
      CloseHandle(f);
      MoveFileExW(side.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
  }
  for (;;) Sleep(INFINITE);
}
