#pragma once
// The decisions of the update run that need no network and no window: which
// items to fetch (the patch list), whether a manifest name is safe to join
// onto a local folder, and the patcher's command line.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lk {

// One item of the patch list.
struct TParamPair {
  std::string Param1;         // item name on the server and in the Patch folder
  std::string Param2;         // folder the archive is unpacked into
  std::uint8_t Param3 = 0;    // kind, below

  bool operator==(const TParamPair&) const = default;
};

enum PatchKind : std::uint8_t {
  kFileArchive = 0,
  kLauncherArchive = 1,
  kConfigArchive = 2,
};

// Reads a manifest value; absent keys read as the empty text.
using ManifestLookup = std::function<std::string(const std::string& section, const std::string& key)>;
// Digests of many files at once (the caller may hash them concurrently),
// results in the order of the paths; a missing file gives the empty text.
using DigestBatch = std::function<std::vector<std::string>(const std::vector<std::string>& paths)>;

// The patch list: the launcher item, then the configuration item, then the
// file items in index order, each listed when the local digest differs from
// the manifest's. launcherFolder ends with a path separator. Throws
// ConversionError when Count is not a number (the empty text included).
std::vector<TParamPair> BuildPatchList(const ManifestLookup& manifest, const std::string& launcherExePath,
                                       const std::string& launcherFolder, const DigestBatch& digests);

// An item name must stay inside the Patch folder: one plain file name, no
// separator, no drive, no "." or "..", no device name.
bool IsSafeItemName(std::string_view name);
// A FileDir must stay inside the launcher folder: relative, no drive or UNC
// prefix, no ":" and no ".." segment, no device name. Empty is the launcher
// folder itself.
bool IsSafeRelativeFolder(std::string_view folder);

// The three quoted arguments of the patcher: the launcher's file name with
// its extension made ".exe", the launcher archive in the Patch folder, and
// the program to start afterwards.
std::string PatcherParameters(std::string_view launcherFileName, std::string_view launcherFolder,
                              std::string_view loginDownloadName, std::string_view loginName);

}  // namespace lk
