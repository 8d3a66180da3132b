#pragma once
// Small file questions the launcher asks by full path.
#include <string>

namespace lk {

// True when a file (not a folder) exists at path.
bool FileExists(const std::string& path);

// The whole file; throws Error with the system's text when it cannot be
// opened or read (missing, locked by another program, a folder).
std::string ReadWholeFile(const std::string& path);

}  // namespace lk
