// Does what the launcher does at every start about its desktop shortcut:
// writes <own file name without extension>.lnk on the desktop, pointing at
// itself. Tests copy it under other names. Exit code 0 when nothing was
// thrown, 1 otherwise (the message goes to stderr).
#include <cstdio>

#include "platform/error.h"
#include "platform/self_path.h"
#include "platform/shortcut.h"

int main() {
  try {
    lk::CreateSelfShortcut(lk::ExecutableBaseName(), lk::kDesktopDirectoryFolder);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
