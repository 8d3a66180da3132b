#pragma once
// Starting the test tree's helper programs and watching them end.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/handles.h"
#include "platform/self_path.h"
#include "platform/text.h"

namespace lk::test {

// A helper program built beside the test executable (tests/programs).
inline std::filesystem::path HelperProgram(const std::string& fileName) {
  return std::filesystem::path(Wide(LauncherFolder())) / Wide(fileName);
}

// A started process; ended at the end of the test if it still runs.
class Child {
 public:
  Child() = default;
  Child(Child&&) noexcept = default;
  Child& operator=(Child&&) = delete;
  ~Child() {
    if (process_) {
      TerminateProcess(process_.get(), 1);
      WaitForSingleObject(process_.get(), 5000);
    }
  }

  // Starts exe with the quoted path as the whole command line; the variable
  // LK_FAKECLIENT_RECORD is set to recordFile for this child only.
  static Child Start(const std::filesystem::path& exe, const std::filesystem::path& recordFile) {
    Child c;
    SetEnvironmentVariableW(L"LK_FAKECLIENT_RECORD", recordFile.c_str());
    std::wstring cmd = L"\"" + exe.wstring() + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      UniqueHandle thread(pi.hThread);
      c.process_.reset(pi.hProcess);
    }
    SetEnvironmentVariableW(L"LK_FAKECLIENT_RECORD", nullptr);
    return c;
  }

  bool started() const { return static_cast<bool>(process_); }
  HANDLE handle() const { return process_.get(); }

  // True when the process has ended within ms; its exit code is stored.
  bool EndsWithin(DWORD ms, DWORD* exitCode = nullptr) const {
    if (WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(process_.get(), exitCode);
    return true;
  }

 private:
  UniqueHandle process_;
};

// Waits until a file exists (a helper program has written its record).
inline bool WaitForFile(const std::filesystem::path& file, int ms = 15000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (std::filesystem::exists(file)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace lk::test
