#include "platform/processes.h"

#include <windows.h>
// After <windows.h>, which it needs.
#include <tlhelp32.h>

#include "platform/handles.h"
#include "platform/text.h"

namespace lk {

std::vector<RunningProcess> RunningProcesses() {
  std::vector<RunningProcess> result;
  UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return result;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    entry.szExeFile[MAX_PATH - 1] = L'\0';
    result.push_back({entry.th32ProcessID, Narrow(entry.szExeFile)});
  }
  return result;
}

bool EndProcess(std::uint32_t processId) {
  UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  if (!process) return false;
  return TerminateProcess(process.get(), 0) != FALSE;
}

std::uint32_t OwnProcessId() { return GetCurrentProcessId(); }

bool SameFileName(std::string_view a, std::string_view b) {
  const std::wstring wa = Wide(a);
  const std::wstring wb = Wide(b);
  return CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()),
                              TRUE) == CSTR_EQUAL;
}

}  // namespace lk
