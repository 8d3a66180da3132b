#include "patcher/KillProcessByName.h"

#include <windows.h>
#include <tlhelp32.h>

#include "core/ascii_case.h"
#include "platform/handles.h"
#include "platform/path_text.h"
#include "platform/text.h"

namespace lk {
namespace {

std::wstring LongPath(const std::wstring& path) {
  wchar_t buf[32768];
  const DWORD n = GetLongPathNameW(path.c_str(), buf, 32768);
  return (n > 0 && n < 32768) ? std::wstring(buf, n) : path;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring LongFolderOf(const std::wstring& path) {
  std::wstring folder = path.substr(0, path.find_last_of(L"\\/") == std::wstring::npos
                                           ? 0
                                           : path.find_last_of(L"\\/"));
  folder = LongPath(folder);
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return folder;
}

int KillProcessByName(const std::string& name, const std::string& folder) {
  std::wstring wfolder = LongPath(Wide(folder));
  while (!wfolder.empty() && (wfolder.back() == L'\\' || wfolder.back() == L'/')) wfolder.pop_back();

  UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  int ended = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (!EqualsIgnoringAsciiCase(ExtractFileName(Narrow(entry.szExeFile)), name)) continue;
    if (entry.th32ProcessID == GetCurrentProcessId()) continue;

    UniqueHandle process(
        OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    bool pathKnown = false, inFolder = false;
    if (process) {
      wchar_t image[32768];
      DWORD size = 32768;
      if (QueryFullProcessImageNameW(process.get(), 0, image, &size)) {
        pathKnown = true;
        inFolder = SameFolder(LongFolderOf(std::wstring(image, size)), wfolder);
      }
    } else {
      process.reset(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
    }
    if (!process || (pathKnown && !inFolder)) continue;
    if (TerminateProcess(process.get(), 0)) ++ended;
    WaitForSingleObject(process.get(), 5000);
  }
  return ended;
}

}  // namespace lk
