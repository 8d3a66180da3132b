#include "platform/library.h"

#include <windows.h>

#include "platform/text.h"

namespace lk {

LibraryHandle LoadLibraryByFullPath(const std::string& path) {
  return LoadLibraryExW(Wide(path).c_str(), nullptr,
                        LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

void* LibraryFunction(LibraryHandle library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void UnloadLibrary(LibraryHandle library) {
  if (library) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace lk
