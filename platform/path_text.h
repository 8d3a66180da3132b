#pragma once
// Path texts taken apart as plain text, the way Windows paths are written:
// '\\' and '/' separate folders, a drive's ':' ends the folder part too.
// Nothing here touches the file system.
#include <string>
#include <string_view>

namespace lk {

// Everything up to and including the last separator (empty when there is
// none): "C:\\Play\\game.exe" gives "C:\\Play\\".
std::string ExtractFileFolder(std::string_view path);

// The text after the last separator: "C:\\Play\\game.exe" gives "game.exe".
std::string ExtractFileName(std::string_view path);

// Every ".\\" removed, wherever it stands, in one left-to-right pass (so
// "..\\x" becomes ".x"): how a manifest's FileDir and a remote tool's path
// are made relative to the launcher folder.
std::string RemoveDotBackslash(std::string_view path);

// The file name without its extension (from its last '.'):
// "C:\\Play\\Game Start.exe" gives "Game Start", "a.b.exe" gives "a.b".
std::string FileNameWithoutExtension(std::string_view path);

}  // namespace lk
