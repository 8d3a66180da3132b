// Manifest bodies come from the update server: any bytes must end in a
// store and a result, never an exception or a read outside the body.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lk::ManifestIni ini;
  const bool seen = lk::ReadManifestText(lk::Bytes(data, size), ini);
  // True exactly when something was stored (a store starts empty).
  if (seen == ini.empty()) std::abort();
  for (const std::string& s : ini.Sections()) {
    if (s.empty()) std::abort();
    for (const std::string& k : ini.Keys(s)) {
      // Keys and values are trimmed and hold no line end.
      const std::string v = ini.ReadString(s, k);
      for (const std::string* t : {&k, &v}) {
        if (!t->empty() &&
            (static_cast<unsigned char>(t->front()) <= 0x20 || static_cast<unsigned char>(t->back()) <= 0x20))
          std::abort();
        if (t->find_first_of("\r\n") != std::string::npos) std::abort();
      }
      if (k.find('=') != std::string::npos) std::abort();
    }
  }
  return 0;
}
