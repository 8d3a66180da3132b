#include <iostream>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tools/launcher_kit.h"

#ifdef _WIN32
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  // Texts go out as UTF-8, like on Linux; a console shows them as such.
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(lk::Narrow(argv[i]));
  return lk::kit::RunLauncherKit(args, std::cout, std::cerr);
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return lk::kit::RunLauncherKit(args, std::cout, std::cerr);
}
#endif
