// The launcher's entry point: read our own file, decode the package, keep
// to one running launcher per brand, then run the main window.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "core/package.h"
#include "launcher/LMain.h"
#include "launcher/SkinImages.h"
#include "launcher/Startup.h"
#include "platform/error.h"
#include "platform/handles.h"
#include "platform/text.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  // Before anything can load a DLL: never search the current folder or PATH.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  // One single-threaded apartment for the whole run, with OLE proper: the
  // skin's images are decoded through COM (WIC), and the notice panels'
  // browser control needs in-place activation and drag and drop on this,
  // the UI thread.
  lk::ComInit ole(lk::ComInit::kOle);

  // Without our own file there is nothing to show: the error ends the
  // program before any window exists.
  try {
    lk::ExeImage = lk::ReadLauncherFile(lk::OwnExecutablePath());
  } catch (const std::exception& e) {
    lk::ShowMessageDialog(e.what());
    return 1;
  }

  using Outcome = lk::StartupPackageResult::Outcome;
  const lk::StartupPackageResult package =
      lk::DecodeLauncherPackage(lk::Bytes(lk::ExeImage.data(), lk::ExeImage.size()), lk::LoginInfo,
                                lk::GraphicInfo, lk::WicImageDecoder());
  if (package.outcome == Outcome::Stop) {
    lk::ShowMessageDialog(package.message);
    return 1;
  }
  // Any other decoding error is shown, and start-up goes on with the
  // records as far as they were filled.
  if (package.outcome == Outcome::DecodeError) lk::ShowMessageDialog(package.message);
  const std::string key_message =
      lk::DecodeUpdateKey(lk::Bytes(lk::ExeImage.data(), lk::ExeImage.size()), lk::UpdateKey);
  // The records hold copies of all they took from the file (the skin's
  // images and the update key included): its bytes need not stay in
  // memory for the whole run.
  std::vector<std::uint8_t>().swap(lk::ExeImage);
  if (!key_message.empty()) lk::ShowMessageDialog(key_message);

  const std::wstring instance_name = lk::Wide(lk::LoginInfo.BrandName);
  // An empty brand name makes an unnamed mutex, which never finds another.
  lk::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, instance_name.c_str()));
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    if (HWND running = FindWindowW(lk::TForm2::kClassName, instance_name.c_str())) {
      ShowWindow(running, SW_RESTORE);
      SetForegroundWindow(running);
    }
    return 0;
  }

  int code = 0;
  try {
    lk::TForm2 form;
    form.Create(instance, lk::LoginInfo.BrandName, show_command);
    code = lk::RunMessageLoop();
  } catch (const std::exception& e) {
    lk::ShowMessageDialog(e.what());
    code = 1;
  }
  return code;
}
