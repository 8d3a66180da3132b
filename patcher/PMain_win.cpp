#include "patcher/PMain.h"

#include <shellapi.h>

#include <thread>

#include "core/update_files.h"
#include "platform/files.h"
#include "patcher/KillProcessByName.h"
#include "platform/self_path.h"
#include "platform/text.h"

namespace lk {
namespace {

constexpr int kClientWidth = 520, kClientHeight = 172;

}  // namespace

void ShowPatcherMessage(HWND owner, const std::string& text) {
  MessageBoxW(owner, Wide(text).c_str(), Wide(ExecutableBaseName()).c_str(), MB_OK);
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

TForm3::~TForm3() = default;

bool TForm3::Create() {
  // Borderless, so the client area is the whole window; centred on the
  // primary screen's work area. The caption "Form3" shows on the task bar.
  Form = std::make_unique<ui::Form>("TForm3", "Form3", kClientWidth, kClientHeight);
  Form->SetDraggable(false);
  Form->CenterOnWorkArea();
  Form->onDestroy = [] { PostQuitMessage(0); };
  Label1 = std::make_unique<ui::Label>(Form->Hwnd(), 48, 64, "Label1");
  // Segoe UI, 9 points = 12 pixels of character height.
  Label1->SetFont("Segoe UI", 12);
  Label1->SetColor(GetSysColor(COLOR_WINDOWTEXT));
  ui_ = std::make_unique<UiDispatcher>();
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
  const std::string folder = LauncherFolder();
  const auto setLabel = [this](const std::string& text) { ui_->Invoke([&] { Label1->SetCaption(text); }); };
  const HWND owner = Form->Hwnd();
  setLabel("等待五秒关闭 " + FPatchFrom + "...");
  actions_.killProcessByName(FPatchFrom, folder);
  actions_.sleep(5000);
  // The backslash and n are two literal characters of this text.
  setLabel("正在解压文件 " + FZipPath + "...\\n" + "启动" + openPatch);
  try {
    actions_.extractPackage(FZipPath, folder, FPatchFrom, FLauncherDigest);
  } catch (const std::exception& e) {
    // A failed unpack must not leave the player without a launcher: say
    // what went wrong, then start whatever launcher is in place.
    const std::string message = e.what();
    ui_->Invoke([&] { ShowPatcherMessage(owner, message); });
    actions_.open(owner, folder + openPatch);
    ui_->Invoke([this] { actions_.endProcess(); });
    return;
  }
  actions_.sleep(3000);
  actions_.open(owner, folder + openPatch);
  actions_.removeDirIfEmpty(folder + "Patch");
  ui_->Invoke([this] { actions_.endProcess(); });
}

std::string TForm3::LabelText() const { return Label1 ? Label1->Text() : std::string(); }

}  // namespace lk
