#pragma once
// The two remote-assistance tools of the tools menu: their defaults and the
// rule that turns a tool path into the file that is opened.
#include <string>
#include <string_view>

namespace lk {

// Defaults from window creation until the update manifest replaces them.
inline constexpr const char* kRemoteToolCaption1 = "远程软件1";
inline constexpr const char* kRemoteToolCaption2 = "远程软件2";
inline constexpr const char* kRemoteToolPath1 = "远程软件\\远程控制1.exe";
inline constexpr const char* kRemoteToolPath2 = "远程软件\\远程控制2.exe";

// launcherFolder + toolPath with every ".\\" removed, wherever it stands, in
// one left-to-right pass (so "..\\x" becomes launcherFolder + ".x").
// Nothing is checked: an empty path gives the launcher folder itself.
std::string RemoteToolFullPath(std::string_view launcherFolder, std::string_view toolPath);

}  // namespace lk
