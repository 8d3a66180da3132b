// TForm2: the start button and the close handler.
#include "core/ascii_case.h"
#include "launcher/LMain.h"
#include "launcher/Startup.h"
#include "launcher/update_download.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/path_text.h"
#include "platform/self_path.h"
#include "platform/text.h"

namespace lk {

namespace {

// ".exe" is appended unless the name's extension (from the last '.' of its
// file name) is ".exe" in any letter case.
std::string ClientPath(const std::string& folder, const std::string& clientFileName) {
  const std::string name = ExtractFileName(clientFileName);
  const auto dot = name.rfind('.');
  const bool isExe =
      dot != std::string::npos && EqualsIgnoringAsciiCase(std::string_view(name).substr(dot), ".exe");
  return folder + clientFileName + (isExe ? "" : ".exe");
}

}  // namespace

void TForm2::Image2Click() {
  // A fresh game options file object on every press, before any check.
  GameOptionsFile = std::make_unique<TInfFileHelper>(LauncherFolder() + "Config.ini");
  if (!SelectedServer || !ServerOnline) {
    // The application owns this box, not the main window (which is not
    // disabled by it); there is no separate application window here.
    MessageBoxW(nullptr, L"服务器暂未开放！", L"警告", MB_OK | MB_ICONWARNING);
    return;
  }
  const TPersonInfo& zone = *SelectedServer;
  const std::string path = ClientPath(LauncherFolder(), zone.ClientFileName);
  if (!IsRegularFile(path)) {
    ShowMessageDialog(path + "应用路径不存在");
    return;
  }
  // The token exactly as stored, unquoted; an empty one leaves the blank.
  std::wstring commandLine = Wide("\"" + path + "\" " + LoginInfo.BrandAuthorization);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &created)) {
    ShowMessageDialog(path + "无法启动应用");
    return;
  }
  // Closed when the press ends, however it ends: the thread, then the process.
  UniqueHandle process(created.hProcess);
  UniqueHandle thread(created.hThread);
  GameOptionsFile->WriteString("Options", "ServerAddr", zone.ServerAddress);
  GameOptionsFile->WriteString("Options", "Param1", std::to_string(zone.LoginPort));
  GameOptionsFile->WriteString("Options", "Interface", std::to_string(InterfaceSelection->SelectedIndex()));
  GameOptionsFile->WriteString("Options", "FullScreenMode", CheckBox1->Checked() ? "1" : "0");
  Form->Hide();
  const int chosen = Resolution->SelectedIndex();
  const std::string resolution = chosen >= 0 ? Resolution->ItemText(chosen) : std::string();
  const auto star = resolution.find('*');
  if (star != std::string::npos) {
    const auto next = resolution.find('*', star + 1);
    GameOptionsFile->WriteString("Options", "ScreenWidth", resolution.substr(0, star));
    GameOptionsFile->WriteString("Options", "ScreenHeight",
                                 resolution.substr(star + 1, next == std::string::npos ? std::string::npos
                                                                                       : next - star - 1));
  }
  if (StartedApps) AddToStartedApps(*StartedApps, ExtractFileName(path), path);
}

void TForm2::FormClose() {
  WebBrowser1->SetVisible(true);
  WebBrowser2->SetVisible(true);
  if (UpdateRun_) UpdateRun_->StopStopwatch();
  if (StartedApps) CloseAllStartedApps(*StartedApps);
  StartedApps.reset();
  // The update run reads the manifest store: it ends before the store goes.
  if (UpdateRun_) UpdateRun_->CancelAndWait(std::chrono::milliseconds(5000));
  ManifestIni_.reset();
  GameOptionsFile.reset();
}

}  // namespace lk
