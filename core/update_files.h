#pragma once
// The local side of an update: digests of local files, unpacking a
// downloaded archive into its folder, and tidying. The launcher's update
// run and the patcher both use these, so they live in the portable core
// over the platform's file layer.
#include <string>
#include <utility>
#include <vector>

#include "platform/cancel_token.h"
#include "platform/error.h"
#include "platform/files.h"

namespace lk {

// Lowercase hex SHA-256 of the file's whole content, read in large blocks
// while other programs may not write it. The empty text when the file is
// missing, is a folder, is locked or cannot be read; never throws.
std::string FileDigest(const std::string& path) noexcept;

// FileDigest of every path, computed by worker threads at once (two per
// core, at most eight: an update check hashes many files); results in the
// order of paths.
std::vector<std::string> FileDigests(const std::vector<std::string>& paths);

// An unpacked file whose digest is not the published one, or a named file
// the archive does not hold.
class DigestMismatchError : public Error {
 public:
  using Error::Error;
};

struct ExtractOptions {
  // How long the final rename of each file is retried while its target is
  // held by another program. The patcher uses this: the old launcher's
  // process may not have let go of its exe the moment it ended.
  int renameRetryMs = 0;
  // Entries ("/"-separated as SafeRelativePath gives them, letter case of
  // A-Z ignored, as Windows names files) and the digests their unpacked
  // content must have. A mismatch, or a named entry that the archive lacks,
  // throws DigestMismatchError and replaces nothing.
  std::vector<std::pair<std::string, std::string>> expected;
  // When not empty: a file that names, while the unpacking runs, the
  // folders that receive temporary files, so that RemoveUnpackLeftovers can
  // tidy them after a kill. Its folder must exist.
  std::string journal;
  // Observed between files; a cancel throws CancelledError, replacing
  // nothing when it comes before the first rename.
  const CancelToken* cancel = nullptr;
  // Whether each file is flushed to the disk before its rename.
  WriteDurability durability = WriteDurability::kFlushed;
};

// Creates folder with its missing parents (throws Error when impossible),
// then, when archive exists, unpacks every entry into folder and deletes
// the archive. Every name is checked before anything is written, so an
// unsafe archive leaves the folder untouched. A file that replaces another
// is written under a temporary name beside it first; one that is new is
// written under its own name (the journal names it for a kill). Each is
// checked against its CRC-32 (and its expected digest); only when every one
// is complete are the temporaries renamed over their targets, so a damaged
// archive, a full disk or a wrong digest replaces nothing and leaves no new
// file, and a kill leaves each file either old or new. An unreadable
// archive throws and stays.
void ExtractPackage(const std::string& archive, const std::string& folder, const ExtractOptions& options = {});

// The digest of the unpacked content of one entry (named as in
// ExtractOptions::expected), without writing anything. Throws
// DigestMismatchError when the archive does not hold it, Error when the
// archive is unreadable.
std::string ArchiveEntryDigest(const std::string& archive, const std::string& entry);

// Tidies after an unpacking that was cut short: removes the temporary files
// in the folders journal names and the new files it was writing under their
// final names, then the journal. Nothing happens when the
// journal does not exist; never throws.
void RemoveUnpackLeftovers(const std::string& journal) noexcept;

// Where the launcher and the patcher keep the journal of an unpacking into
// the launcher folder (which ends with a separator): in its Patch folder.
std::string UnpackJournalPath(const std::string& launcherFolder);

// Records, for the time it lives, the folders that receive temporaries and
// the files written new under their final names (see ExtractOptions).
class UnpackJournal {
 public:
  UnpackJournal(std::string path, const std::vector<std::string>& folders,
                const std::vector<std::string>& newFiles = {});
  ~UnpackJournal();
  UnpackJournal(const UnpackJournal&) = delete;
  UnpackJournal& operator=(const UnpackJournal&) = delete;

 private:
  std::string path_;
};

// Removes folder when it holds no entry at all (a hidden file or an empty
// subfolder keeps it); a missing folder or a failed removal is ignored.
void RemoveDirIfEmpty(const std::string& folder) noexcept;

}  // namespace lk
