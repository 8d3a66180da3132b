#pragma once
// Runs launcher-kit in-process and keeps what it printed.
#include <sstream>
#include <string>

#include "tools/launcher_kit.h"

namespace lk::test {

struct KitResult {
  int code;
  std::string out, err;
};

inline KitResult RunKit(const kit::Args& args) {
  std::ostringstream out, err;
  const int code = kit::RunLauncherKit(args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace lk::test
