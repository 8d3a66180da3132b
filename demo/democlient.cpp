// The demo's game client: shows the command line the launcher gave it (the
// brand's launch token after the quoted path) and the display choices the
// launcher wrote into Config.ini, and records the command line in
// democlient.log beside itself so the demo's self-check can read it.
#include <windows.h>

#include <string>

namespace {

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

std::wstring ReadOption(const std::wstring& ini, const wchar_t* key) {
  wchar_t buf[256];
  GetPrivateProfileStringW(L"Options", key, L"", buf, 256, ini.c_str());
  return buf;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring commandLine = GetCommandLineW();
  const std::wstring log = OwnFolder() + L"democlient.log";
  HANDLE f = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, commandLine.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, commandLine.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(f, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(f);
  }

  // The launcher writes Config.ini into its own folder and starts us with
  // its current directory; look in both places a client would.
  wchar_t cwd[MAX_PATH * 4];
  GetCurrentDirectoryW(MAX_PATH * 4, cwd);
  std::wstring ini = std::wstring(cwd) + L"\\Config.ini";
  if (GetFileAttributesW(ini.c_str()) == INVALID_FILE_ATTRIBUTES) ini = OwnFolder() + L"..\\Config.ini";

  const std::wstring text = L"演示游戏客户端已启动。\n\n命令行:\n" + commandLine + L"\n\n服务器: " +
                            ReadOption(ini, L"ServerAddr") + L":" + ReadOption(ini, L"Param1") +
                            L"\n分辨率: " + ReadOption(ini, L"ScreenWidth") + L"*" +
                            ReadOption(ini, L"ScreenHeight") + L"\n全屏: " + ReadOption(ini, L"FullScreenMode");
  MessageBoxW(nullptr, text.c_str(), L"演示游戏", MB_OK | MB_ICONINFORMATION);
  return 0;
}
