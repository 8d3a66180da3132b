#pragma once
// The update run (UpdateLauncher): fetches the manifest, compares digests,
// asks the player, then fetches, checks and applies each differing item on
// its own and hands the launcher's own replacement to the patcher. The
// window side is UpdateHost (launcher/UpdateHost.h).
#include <memory>
#include <string>

#include "launcher/UpdateHost.h"
#include "launcher/update_download.h"

namespace lk {

// Where and how a run works. The launcher passes its own executable and
// the default policy; tests pass a stand-in in a folder of their own and
// short timeouts.
struct UpdateRunPlace {
  std::string launcherExePath;  // full path; its folder is the launcher folder
  FetchPolicy fetch;
  // Every file is hashed, whatever the digest cache remembers (the player
  // held Shift while the launcher started).
  bool fullCheck = false;
};

// UpdateRun::Start with an explicit place.
std::unique_ptr<UpdateRun> StartUpdateRun(UpdateHost& host, UiDispatcher& ui, ManifestIni& manifest,
                                          std::string updateUrl, UpdateRunPlace place);

// A manifest body larger than this is refused: the manifest is a few
// kilobytes even for a large game.
inline constexpr std::size_t kMaxManifestBytes = 4 * 1024 * 1024;

// Writes the embedded patcher (the raw-data resource "Resource_1" of the
// running executable) to launcherFolder + "patcher.exe", replacing an older
// one, and starts it with the patcher's arguments (the last one the digest
// the unpacked launcher must have). Throws Error when the resource is
// missing or the file cannot be written.
void RunPatcher(const std::string& launcherExePath, const std::string& loginDownloadName,
                const std::string& loginName, const std::string& launcherDigest);

}  // namespace lk
