#pragma once
// Runs launcher-kit in-process and keeps what it printed.
#include <filesystem>
#include <sstream>
#include <string>

#include "platform/text.h"
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

// A fresh folder for one test, removed afterwards; paths as UTF-8.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& name) {
    path_ = std::filesystem::temp_directory_path() /
            std::filesystem::path("lk-kit-" + name + "-" + std::to_string(Counter()++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string File(const std::string& name) const {
    const std::u16string u = Utf8ToUtf16(name);
    std::filesystem::path p = path_;
#ifdef _WIN32
    p /= std::filesystem::path(std::wstring(u.begin(), u.end()));
    return Narrow(p.wstring());
#else
    p /= name;
    return p.string();
#endif
  }

 private:
  static int& Counter() {
    static int n = 0;
    return n;
  }
  std::filesystem::path path_;
};

}  // namespace lk::test
