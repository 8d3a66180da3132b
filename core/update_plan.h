#pragma once
// The decisions of the update run that need no network and no window: which
// items to fetch (the patch list), which of them to refuse because their
// names may not reach the file system, and the patcher's command line.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/update_manifest.h"

namespace lk {

// One item of the patch list.
struct TParamPair {
  std::string Param1;       // item name on the server and in the Patch folder
  std::string Param2;       // folder the archive is unpacked into
  std::uint8_t Param3 = 0;  // kind, below

  bool operator==(const TParamPair&) const = default;
};

enum PatchKind : std::uint8_t {
  kFileArchive = 0,
  kLauncherArchive = 1,
  kConfigArchive = 2,
};

// What the run needs of one listed item.
struct PatchItem {
  TParamPair pair;
  // FileDir as the manifest writes it; empty for the launcher and the
  // configuration, which unpack into the launcher folder itself.
  std::string relativeFolder;
  // The file whose digest decided: its name inside the archive and the
  // target folder ("/"-separated, normalised) and its full local path.
  std::string checkEntry;
  std::string checkPath;
  std::string expectedDigest;

  bool operator==(const PatchItem&) const = default;
};

// A differing item that is not fetched: its name (the archive's, or the
// local file's when that is the unsafe one) and why.
struct RefusedItem {
  std::string name;
  std::string reason;
  bool operator==(const RefusedItem&) const = default;
};

struct UpdatePlan {
  // The launcher item first, then the configuration item, then the file
  // items in index order.
  std::vector<PatchItem> items;
  std::vector<RefusedItem> refused;

  const PatchItem* Find(PatchKind kind) const;
};

// Digests of many files at once (the caller may hash them concurrently),
// results in the order of the paths; a missing file gives the empty text.
using DigestBatch = std::function<std::vector<std::string>(const std::vector<std::string>& paths)>;

// Compares each local file's digest with the manifest's: the launcher's own
// executable with LoginVerificationCode, launcherFolder + ConfigName with
// ConfigVerificationCode, launcherFolder + FileDir + LocalName with each
// FileMd5. launcherFolder ends with a path separator. A local name that may
// not be used is refused without being read; a differing item whose
// archive name (or, for the launcher, LoginName) may not be used is
// refused too. Throws ConversionError when Count is not a number.
UpdatePlan PlanUpdate(const UpdateManifest& manifest, const std::string& launcherExePath,
                      const std::string& launcherFolder, const DigestBatch& digests);

// Something of a run that failed: the item (or "更新列表" for the
// manifest) and a short reason ("HTTP 404", "连接中断", "文件校验失败", ...).
struct UpdateFailure {
  std::string name;
  std::string reason;
  bool operator==(const UpdateFailure&) const = default;
};

// The status line of a run with failures: "更新失败：" + the first item
// and its reason in brackets, then how many items failed when more did.
// A very long name is cut (the line must fit the window).
std::string UpdateFailureText(const std::vector<UpdateFailure>& failures);

// The quoted arguments of the patcher: the launcher's file name with its
// extension made ".exe", the launcher archive in the Patch folder, the
// program to start afterwards, and, when known, the digest the unpacked
// launcher must have (a patcher that knows only three arguments ignores it).
std::string PatcherParameters(std::string_view launcherFileName, std::string_view launcherFolder,
                              std::string_view loginDownloadName, std::string_view loginName,
                              std::string_view launcherDigest = {});

}  // namespace lk
