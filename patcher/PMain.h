#pragma once
// The patcher's window: one borderless box with a line of progress text,
// shown while the patch work replaces the launcher.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/form.h"
#include "platform/ui/label.h"
#include "platform/ui_dispatch.h"

namespace lk {

// What the patch work does to the world; the tests swap in their own.
struct PatchActions {
  std::function<void(const std::string& name, const std::string& folder)> killProcessByName;
  // launcherDigest: what the unpacked launcher (named launcherName) must
  // hash to; empty when the launcher that started the patcher gave none.
  std::function<void(const std::string& archive, const std::string& folder, const std::string& launcherName,
                     const std::string& launcherDigest)>
      extractPackage;
  std::function<void(const std::string& folder)> removeDirIfEmpty;
  std::function<void(DWORD ms)> sleep;
  std::function<void(HWND owner, const std::string& path)> open;
  // Runs on the UI thread as the last step; ends the process at once.
  std::function<void()> endProcess;
};

PatchActions DefaultPatchActions();

class TForm3 {
 public:
  TForm3(std::vector<std::string> args, PatchActions actions);
  ~TForm3();
  TForm3(const TForm3&) = delete;
  TForm3& operator=(const TForm3&) = delete;

  // Creates the window and runs FormCreate; false when the program should
  // end without showing it.
  bool Create();
  HWND handle() const { return Form ? Form->Hwnd() : nullptr; }
  std::string LabelText() const;

  std::string FPatchFrom;
  std::string FZipPath;
  std::string openPatch;
  // The fourth argument, when given: the digest of the new launcher.
  std::string FLauncherDigest;

  std::unique_ptr<ui::Form> Form;
  std::unique_ptr<ui::Label> Label1;

 private:
  bool FormCreate();
  void PatchWork();

  std::vector<std::string> args_;
  PatchActions actions_;
  // The work's hand-over to the UI thread: each step runs there and the
  // work waits for it, so the window shows every text in turn.
  std::unique_ptr<UiDispatcher> ui_;
};

// A message dialog captioned with the executable's name without extension.
void ShowPatcherMessage(HWND owner, const std::string& text);

}  // namespace lk
