#pragma once
// The launcher's shortcut to itself, rewritten on every start.
#include <memory>
#include <string>

namespace lk {

// CSIDL_DESKTOPDIRECTORY: the user's desktop folder in the file system.
inline constexpr int kDesktopDirectoryFolder = 0x0010;

// Writes <special folder TargetFolder>\<ShortcutName>.lnk pointing at the
// running executable, with its first icon, overwriting an older file of that
// name, and tells the shell about the executable and the shortcut. COM that
// cannot be initialised or a shell-link object that cannot be made throws
// Error with the system's text; a shortcut that cannot be saved, or a folder
// the system cannot name, is silently left out (the shortcut is a
// convenience, never a reason to stop the launcher).
void CreateSelfShortcut(const std::string& ShortcutName, int TargetFolder);

// CreateSelfShortcut in its two halves, for a caller that wants to know the
// outcome early and leave the slow part (the shell resolving the target and
// writing the file) to run beside other work. Both halves on one thread.
class SelfShortcut {
 public:
  // COM and the shell-link object: throws what CreateSelfShortcut throws.
  SelfShortcut(const std::string& ShortcutName, int TargetFolder);
  ~SelfShortcut();
  SelfShortcut(const SelfShortcut&) = delete;
  SelfShortcut& operator=(const SelfShortcut&) = delete;
  // Writes the shortcut and tells the shell; silent, as CreateSelfShortcut.
  void Save();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

// The path of a special folder without creating it; empty when the system
// cannot name it.
std::string SpecialFolderPath(int folder);

struct ShortcutInfo {
  std::string target;
  std::string arguments;
  std::string workingFolder;
  std::string iconPath;
  int iconIndex = -1;
};

// What a .lnk file holds; throws Error when it cannot be read.
ShortcutInfo ReadShortcut(const std::string& lnkPath);

}  // namespace lk
