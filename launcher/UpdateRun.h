#pragma once
// The update run (UpdateLauncher): fetches the manifest, compares digests,
// asks the player, downloads and unpacks the differing items and hands the
// launcher's own replacement to the patcher. The window side is UpdateHost
// (launcher/UpdateHost.h).
#include <functional>
#include <memory>
#include <string>

#include "core/manifest.h"
#include "launcher/UpdateHost.h"
#include "platform/http_client.h"

namespace lk {

// GET address without extra headers. Status 200: the body is read into
// store (true when it held an entry line). Any other status: showMessage
// gets "请求失败，状态码：" and the code, store stays as it was, false. No
// response: HttpError propagates. client lets the caller abort the request.
bool FetchManifest(HttpClient& client, const std::string& address, ManifestIni& store,
                   const std::function<void(const std::string&)>& showMessage);
bool FetchManifest(const std::string& address, ManifestIni& store,
                   const std::function<void(const std::string&)>& showMessage);

// Where a run works. The launcher passes its own executable; tests pass a
// stand-in in a folder of their own.
struct UpdateRunPlace {
  std::string launcherExePath;  // full path; its folder is the launcher folder
};

// UpdateRun::Start with an explicit place.
std::unique_ptr<UpdateRun> StartUpdateRun(UpdateHost& host, UiDispatcher& ui, ManifestIni& manifest,
                                          std::string updateUrl, UpdateRunPlace place);

// Writes the embedded patcher (the raw-data resource "Resource_1" of the
// running executable) to launcherFolder + "patcher.exe", replacing an older
// one, and starts it with the patcher's three arguments. Throws Error when
// the resource is missing or the file cannot be written.
void RunPatcher(const std::string& launcherExePath, const std::string& loginDownloadName,
                const std::string& loginName);

}  // namespace lk
