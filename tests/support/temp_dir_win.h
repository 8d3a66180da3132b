#pragma once
// A fresh folder under the system's temp folder, removed with its contents
// at the end of the test. Its name holds Chinese characters on purpose:
// every path the programs build may.
#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/text.h"

namespace lk::test {

class TempDir {
 public:
  TempDir() {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    static int counter = 0;
    path_ = std::filesystem::path(base) /
            (L"登录器测试-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // UTF-8 path of a file inside the folder.
  std::string File(const std::string& name) const {
    return Narrow((path_ / std::filesystem::path(Wide(name))).wstring());
  }

 private:
  std::filesystem::path path_;
};

}  // namespace lk::test
