#include "patcher/KillProcessByName.h"

#include <windows.h>
#include <tlhelp32.h>

#include "platform/handles.h"
#include "platform/text.h"

namespace lk {
namespace {

bool EqualsAsciiIgnoreCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
    if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
    if (x != y) return false;
  }
  return true;
}

std::wstring_view FileNamePart(std::wstring_view path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

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
  const std::wstring wname = Wide(name);
  std::wstring wfolder = LongPath(Wide(folder));
  while (!wfolder.empty() && (wfolder.back() == L'\\' || wfolder.back() == L'/')) wfolder.pop_back();

  UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  int ended = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (!EqualsAsciiIgnoreCase(FileNamePart(entry.szExeFile), wname)) continue;
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
