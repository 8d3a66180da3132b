#pragma once
// The local side of an update: digests of local files, unpacking a
// downloaded archive into its folder, and tidying an emptied folder. The
// launcher's update run and the patcher both use these, so they live in the
// portable core over the platform's file layer.
#include <string>
#include <vector>

namespace lk {

// Lowercase hex SHA-256 of the file's whole content, read in large blocks
// while other programs may not write it. The empty text when the file is
// missing, is a folder, is locked or cannot be read; never throws.
std::string FileDigest(const std::string& path) noexcept;

// FileDigest of every path, computed by worker threads at once (two per
// core, at most eight: an update check hashes many files); results in the
// order of paths.
std::vector<std::string> FileDigests(const std::vector<std::string>& paths);

// Creates folder with its missing parents (throws Error when impossible),
// then, when archive exists, unpacks every entry into folder and deletes
// the archive. Unsafe entry names refuse the whole archive before anything
// is written. Each file is written under a temporary name beside its target
// and renamed over it only when complete and its CRC-32 checked, so a
// failure never leaves a half-written file where the old one was. An
// unreadable archive throws and stays; entries unpacked before the failure
// stay.
//
// renameRetryMs: how long the final rename of each file is retried while
// its target is held by another program. The patcher uses this: the old
// launcher's process may not have let go of its exe the moment it ended.
void ExtractPackage(const std::string& archive, const std::string& folder, int renameRetryMs = 0);

// Removes folder when it holds no entry at all (a hidden file or an empty
// subfolder keeps it); a missing folder or a failed removal is ignored.
void RemoveDirIfEmpty(const std::string& folder) noexcept;

}  // namespace lk
