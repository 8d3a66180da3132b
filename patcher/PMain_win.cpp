#include "patcher/PMain.h"

#include <shellapi.h>

#include <thread>

#include "core/update_files.h"
#include "platform/files.h"
#include "patcher/KillProcessByName.h"
#include "platform/text.h"

namespace lk {
namespace {

constexpr UINT kSetLabel = WM_APP + 1;  // LPARAM: const std::wstring*
constexpr UINT kEndProcess = WM_APP + 2;
constexpr UINT kShowMessage = WM_APP + 3;  // LPARAM: const std::wstring*
constexpr wchar_t kClassName[] = L"TForm3";
constexpr int kClientWidth = 520, kClientHeight = 172;

std::wstring ModulePath() {
  std::wstring buf(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  buf.resize(n);
  return buf;
}

}  // namespace

std::string OwnFolder() {
  const std::wstring path = ModulePath();
  return Narrow(path.substr(0, path.find_last_of(L"\\/") + 1));
}

std::wstring PatcherTitle() {
  std::wstring name = ModulePath();
  name = name.substr(name.find_last_of(L"\\/") + 1);
  const std::size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

void ShowPatcherMessage(HWND owner, const std::string& text) {
  MessageBoxW(owner, Wide(text).c_str(), PatcherTitle().c_str(), MB_OK);
}

PatchActions DefaultPatchActions() {
  PatchActions a;
  a.killProcessByName = [](const std::string& name, const std::string& folder) {
    KillProcessByName(name, folder);
  };
  a.extractPackage = [](const std::string& archive, const std::string& folder, const std::string& launcherName,
                        const std::string& launcherDigest) {
    ExtractOptions options;
    // The ended launcher's exe may stay locked for a moment after its
    // process has gone: keep trying to replace it for up to 10 s.
    options.renameRetryMs = 10000;
    // Nothing replaces the running launcher unless it is the published one.
    if (!launcherDigest.empty()) options.expected = {{launcherName, launcherDigest}};
    // The launcher's next update run tidies after a kill in the middle.
    if (IsDirectory(folder + "Patch")) options.journal = UnpackJournalPath(folder);
    ExtractPackage(archive, folder, options);
  };
  a.removeDirIfEmpty = [](const std::string& folder) { RemoveDirIfEmpty(folder); };
  a.sleep = [](DWORD ms) { Sleep(ms); };
  a.open = [](HWND owner, const std::string& path) {
    ShellExecuteW(owner, L"open", Wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  };
  // No window-closing handlers run: the work is done.
  a.endProcess = [] { ExitProcess(0); };
  return a;
}

TForm3::TForm3(std::vector<std::string> args, PatchActions actions)
    : args_(std::move(args)), actions_(std::move(actions)) {}

TForm3::~TForm3() {
  if (hwnd_) DestroyWindow(hwnd_);
  if (font_) DeleteObject(font_);
}

bool TForm3::Create() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);

  // Borderless, so the client area is the whole window; centred on the
  // primary screen's work area. WS_EX_APPWINDOW puts the caption "Form3" on
  // the task bar.
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + (work.right - work.left - kClientWidth) / 2;
  const int y = work.top + (work.bottom - work.top - kClientHeight) / 2;
  hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, kClassName, L"Form3", WS_POPUP | WS_CLIPCHILDREN, x, y,
                          kClientWidth, kClientHeight, nullptr, nullptr, instance, this);
  if (!hwnd_) return false;

  // Segoe UI, 9 points = 12 pixels of character height.
  font_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Segoe UI");
  label1_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 48, 64, 0, 0,
                            hwnd_, nullptr, instance, nullptr);
  SendMessageW(label1_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  ApplyLabel(L"Label1");
  return FormCreate();
}

bool TForm3::FormCreate() {
  if (args_.size() < 3) {
    ShowPatcherMessage(nullptr, "参数不足");
    return false;
  }
  FPatchFrom = args_[0];
  FZipPath = args_[1];
  openPatch = args_[2];
  // A fourth argument that is a digest text is the new launcher's digest;
  // anything else there is ignored, as further arguments always were.
  if (args_.size() > 3 && args_[3].size() == 64 &&
      args_[3].find_first_not_of("0123456789abcdef") == std::string::npos)
    FLauncherDigest = args_[3];
  // The work runs on its own thread; the window stays responsive and shows
  // each step's text.
  std::thread([this] { PatchWork(); }).detach();
  return true;
}

void TForm3::PatchWork() {
  const std::string folder = OwnFolder();
  SetLabelFromWorker("等待五秒关闭 " + FPatchFrom + "...");
  actions_.killProcessByName(FPatchFrom, folder);
  actions_.sleep(5000);
  // The backslash and n are two literal characters of this text.
  SetLabelFromWorker("正在解压文件 " + FZipPath + "...\\n" + "启动" + openPatch);
  try {
    actions_.extractPackage(FZipPath, folder, FPatchFrom, FLauncherDigest);
  } catch (const std::exception& e) {
    // A failed unpack must not leave the player without a launcher: say
    // what went wrong, then start whatever launcher is in place.
    const std::wstring message = Wide(e.what());
    SendMessageW(hwnd_, kShowMessage, 0, reinterpret_cast<LPARAM>(&message));
    actions_.open(hwnd_, folder + openPatch);
    SendMessageW(hwnd_, kEndProcess, 0, 0);
    return;
  }
  actions_.sleep(3000);
  actions_.open(hwnd_, folder + openPatch);
  actions_.removeDirIfEmpty(folder + "Patch");
  SendMessageW(hwnd_, kEndProcess, 0, 0);
}

void TForm3::SetLabelFromWorker(const std::string& text) {
  const std::wstring w = Wide(text);
  SendMessageW(hwnd_, kSetLabel, 0, reinterpret_cast<LPARAM>(&w));
}

void TForm3::ApplyLabel(const std::wstring& text) {
  SetWindowTextW(label1_, text.c_str());
  // The label sizes itself to its text.
  HDC dc = GetDC(label1_);
  const HGDIOBJ old = SelectObject(dc, font_);
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(label1_, dc);
  SetWindowPos(label1_, nullptr, 0, 0, r.right, r.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string TForm3::LabelText() const {
  wchar_t buf[4096];
  const int n = GetWindowTextW(label1_, buf, 4096);
  return Narrow(std::wstring_view(buf, static_cast<std::size_t>(n)));
}

LRESULT CALLBACK TForm3::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  }
  auto* self = reinterpret_cast<TForm3*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case kSetLabel:
      if (self) self->ApplyLabel(*reinterpret_cast<const std::wstring*>(lp));
      return 0;
    case kShowMessage:
      MessageBoxW(hwnd, reinterpret_cast<const std::wstring*>(lp)->c_str(), PatcherTitle().c_str(), MB_OK);
      return 0;
    case kEndProcess:
      if (self) self->actions_.endProcess();
      return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace lk
