#include "platform/shortcut.h"

#include <windows.h>
// The shell headers need <windows.h> first.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <utility>

#include "platform/error.h"
#include "platform/handles.h"
#include "platform/self_path.h"
#include "platform/text.h"

namespace lk {

std::string SpecialFolderPath(int folder) {
  wchar_t buf[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buf, folder, FALSE)) return {};
  return Narrow(buf);
}

void CreateSelfShortcut(const std::string& ShortcutName, int TargetFolder) {
  const std::wstring exePath = Wide(OwnExecutablePath());

  // Uninitialised again when this scope ends, also after an error, but only
  // when the initialisation succeeded.
  ComInit com;
  ThrowIfFailed(com.result());

  // Without a folder there is nowhere to write: the shortcut is skipped
  // rather than written relative to whatever the current drive is.
  std::wstring lnkPath = Wide(SpecialFolderPath(TargetFolder));
  const bool haveFolder = !lnkPath.empty();
  if (haveFolder && lnkPath.back() != L'\\' && lnkPath.back() != L'/') lnkPath += L'\\';
  lnkPath += Wide(ShortcutName) + L".lnk";

  ComPtr<IShellLinkW> link;
  ThrowIfFailed(
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()));
  if (!haveFolder) return;

  link->SetPath(exePath.c_str());
  link->SetIconLocation(exePath.c_str(), 0);
  ComPtr<IPersistFile> file;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void())))
    file->Save(lnkPath.c_str(), FALSE);  // a failed save stays silent

  SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW, exePath.c_str(), nullptr);
  SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW, lnkPath.c_str(), nullptr);
}

ShortcutInfo ReadShortcut(const std::string& lnkPath) {
  ComInit com;
  ThrowIfFailed(com.result());
  ComPtr<IShellLinkW> link;
  ThrowIfFailed(
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()));
  ComPtr<IPersistFile> file;
  ThrowIfFailed(link->QueryInterface(IID_IPersistFile, file.put_void()));
  ThrowIfFailed(file->Load(Wide(lnkPath).c_str(), STGM_READ));

  ShortcutInfo info;
  std::wstring buf(32768, L'\0');
  const int size = static_cast<int>(buf.size());
  if (SUCCEEDED(link->GetPath(buf.data(), size, nullptr, SLGP_RAWPATH))) info.target = Narrow(buf.c_str());
  buf.assign(buf.size(), L'\0');
  if (SUCCEEDED(link->GetArguments(buf.data(), size))) info.arguments = Narrow(buf.c_str());
  buf.assign(buf.size(), L'\0');
  if (SUCCEEDED(link->GetWorkingDirectory(buf.data(), size))) info.workingFolder = Narrow(buf.c_str());
  buf.assign(buf.size(), L'\0');
  int index = -1;
  if (SUCCEEDED(link->GetIconLocation(buf.data(), size, &index))) {
    info.iconPath = Narrow(buf.c_str());
    info.iconIndex = index;
  }
  return info;
}

}  // namespace lk
