#pragma once
// Outside libraries loaded by full path (the shield vendors' DLL).
#include <string>

namespace lk {

using LibraryHandle = void*;

// Loads the library at the full path; its own folder and the system's safe
// folders are searched for what it needs, never the current directory or
// PATH. nullptr when it cannot be loaded. The caller decides when (and
// whether) to unload it.
LibraryHandle LoadLibraryByFullPath(const std::string& path);

// The exported function of that name, or nullptr.
void* LibraryFunction(LibraryHandle library, const char* name);

void UnloadLibrary(LibraryHandle library);

}  // namespace lk
