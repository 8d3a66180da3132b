#pragma once
// Running processes by executable file name.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lk {

struct RunningProcess {
  std::uint32_t id = 0;
  std::string exeFile;  // the executable's file name as the system reports it
};

// The processes running now; empty when the system gives no snapshot.
std::vector<RunningProcess> RunningProcesses();

// Ends a process with exit code 0, without waiting for it. False when it
// cannot be opened for termination or the termination fails.
bool EndProcess(std::uint32_t processId);

std::uint32_t OwnProcessId();

// Whether two file names name the same file: equal letter for letter with
// letter case ignored the way the file system ignores it (all of Unicode,
// not only ASCII).
bool SameFileName(std::string_view a, std::string_view b);

}  // namespace lk
