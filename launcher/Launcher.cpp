// The launcher's entry point: read our own file, decode the package, keep
// to one running launcher per brand, then run the main window.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/CustomNetEncoding.h"
#include "core/package.h"
#include "launcher/LMain.h"
#include "launcher/LMain_pictures.h"
#include "launcher/ParallelStep.h"
#include "launcher/SkinImages.h"
#include "launcher/Startup.h"
#include "launcher/StartupTrace.h"
#include "platform/error.h"
#include "platform/handles.h"
#include "platform/text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  lk::TraceStartup("entry point");
  // Before anything can load a DLL: never search the current folder or PATH.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  // One single-threaded apartment for the whole run, with OLE proper: the
  // notice panels' browser control needs in-place activation and drag and
  // drop on this, the UI thread.
  lk::ComInit ole(lk::ComInit::kOle);
  lk::TraceStartup("COM and OLE initialised");

  // Without our own file there is nothing to show: the error ends the
  // program before any window exists.
  try {
    lk::ExeImage = lk::ReadLauncherFile(lk::OwnExecutablePath());
  } catch (const std::exception& e) {
    lk::ShowMessageDialog(e.what());
    return 1;
  }
  lk::TraceStartup("own file read");

  using Outcome = lk::StartupPackageResult::Outcome;
  lk::Bytes skin_block;
  lk::StartupPackageResult package =
      lk::ReadLauncherPackage(lk::Bytes(lk::ExeImage.data(), lk::ExeImage.size()), lk::LoginInfo, skin_block);
  if (package.outcome == Outcome::Stop) {
    lk::ShowMessageDialog(package.message);
    return 1;
  }
  // The images are decoded on the pool while this thread takes the instance
  // mutex and builds the (still hidden) window: the status dots first (the
  // window's construction sets one), then the skin, whose outcome is joined
  // before anything is shown. ExeImage stays untouched until then.
  const bool decode_skin = package.outcome == Outcome::Decoded;
  auto decode_images = [&](const lk::ParallelStep::Release& release) {
    lk::ComInit worker_com(lk::ComInit::kMultiThreaded);
    try {
      lk::LoadResourcePictures();
    } catch (const std::exception&) {
      // The window's construction decodes them again and reports it.
    }
    if (decode_skin) package = lk::DecodeStartupSkin(skin_block, lk::GraphicInfo, lk::WicImageDecoder());
    release();
    // The configuration's scrambled values need SHA-256 from the system,
    // whose provider is loaded and opened once per process (a noticeable
    // wait under Wine): done here, the load finds it open (or reports why
    // it cannot be had).
    try {
      lk::ChainingVector(lk::ChainVectorK7q29);
    } catch (const std::exception&) {
    }
  };
  const std::unique_ptr<lk::ParallelStep> images = lk::StartBeside(decode_images);
  // Any decoding error is shown, and start-up goes on with the records as
  // far as they were filled.
  bool decoded = false;
  auto show_decoding_error = [&] {
    if (decoded) return;
    decoded = true;
    if (images) images->Join();
    lk::TraceStartup("images decoded");
    if (package.outcome == Outcome::DecodeError) lk::ShowMessageDialog(package.message);
    const std::string key_message =
        lk::DecodeUpdateKey(lk::Bytes(lk::ExeImage.data(), lk::ExeImage.size()), lk::UpdateKey);
    // The records hold copies of all they took from the file (the skin's
    // images and the update key included): its bytes need not stay in
    // memory for the whole run.
    std::vector<std::uint8_t>().swap(lk::ExeImage);
    if (!key_message.empty()) lk::ShowMessageDialog(key_message);
  };

  const std::wstring instance_name = lk::Wide(lk::LoginInfo.BrandName);
  // An empty brand name makes an unnamed mutex, which never finds another.
  lk::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, instance_name.c_str()));
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    show_decoding_error();
    if (HWND running = FindWindowW(lk::TForm2::kClassName, instance_name.c_str())) {
      ShowWindow(running, SW_RESTORE);
      SetForegroundWindow(running);
    }
    return 0;
  }
  lk::TraceStartup("instance mutex");

  int code = 0;
  try {
    lk::TForm2 form;
    form.Build();
    show_decoding_error();
    form.Open(lk::LoginInfo.BrandName, show_command);
    code = lk::RunMessageLoop();
  } catch (const std::exception& e) {
    show_decoding_error();
    lk::ShowMessageDialog(e.what());
    code = 1;
  }
  return code;
}
