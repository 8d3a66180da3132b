#pragma once
// The one rule for names that come from outside (an update manifest, a ZIP
// entry, a release folder) and are joined onto a local folder. A name that
// passes stays below that folder and means the same file on every Windows
// system; one that fails is refused whole, never "repaired".
#include <string>
#include <string_view>

namespace lk {

enum class NameKind {
  // One plain name, no folder: an item in the Patch folder.
  kFileName,
  // A folder below the base folder; empty, "." and ".\" name the base
  // itself, a trailing separator is allowed.
  kRelativeFolder,
  // A file below the base folder, possibly in subfolders: ZIP entries,
  // LocalName, ConfigName, LoginName, the names publish writes.
  kRelativePath,
};

// Why name may not be used as kind; the empty text when it may. Refused:
// the empty name (except as a folder), absolute, drive and UNC paths, ":"
// (drives and alternate streams), control characters and the other
// characters Windows refuses, ".." segments, segments ending in a dot or
// blank (Windows drops those, so two names could meet in one file),
// reserved device names (CON, PRN, AUX, NUL, COM0-9, LPT0-9, COM and LPT
// with a superscript digit, CONIN$, CONOUT$; also with an extension or
// trailing blanks before it), segments longer than 255 UTF-16 units and
// text that is not UTF-8. Both "\" and "/" separate folders; a file name
// may hold neither.
std::string NameProblem(std::string_view name, NameKind kind);

inline bool IsSafeName(std::string_view name, NameKind kind) { return NameProblem(name, kind).empty(); }

// The segments of a safe name joined with separator, "." and empty
// segments dropped ("./a//b" gives "a/b"; a folder naming the base itself
// gives ""). Throws Error "unsafe name "<name>": <reason>" otherwise.
std::string SafeRelativePath(std::string_view name, NameKind kind, char separator);

// A segment that names a device in every folder.
bool IsReservedDeviceName(std::string_view segment);

}  // namespace lk
