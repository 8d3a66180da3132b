// The patcher: replaces the launcher executable, which cannot replace itself
// while it runs. Started by the launcher as
//   patcher.exe "<launcher file name>" "<archive path>" "<program to start>"
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "patcher/PMain.h"
#include "platform/handles.h"
#include "platform/text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Never load DLLs from the current folder or PATH.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);

  int argc = 0;
  const lk::UniqueLocal<wchar_t**> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
  std::vector<std::string> args;
  for (int i = 1; argv && i < argc; ++i) args.push_back(lk::Narrow(argv.get()[i]));

  lk::TForm3 form(std::move(args), lk::DefaultPatchActions());
  if (!form.Create()) ExitProcess(0);
  form.Form->ShowNormal();
  UpdateWindow(form.handle());

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
