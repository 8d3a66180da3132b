// ZIP archives come from the update server: reading the central directory,
// every entry's data and the entry-name safety check must end in entries or
// one of our errors, never read outside the bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/safe_names.h"
#include "core/zip_reader.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lk::MemoryZipSource source(lk::Bytes(data, size));
  try {
    lk::ZipReader zip(source, "fuzz.zip");
    for (const lk::ZipEntry& e : zip.entries()) {
      try {
        const std::string safe = lk::SafeRelativePath(e.name, lk::NameKind::kRelativePath, '/');
        // What passes has no way out: no empty, "." or ".." segment, no
        // ":" and no other separator.
        if (safe.empty() || safe.find_first_of(":\\") != std::string::npos) std::abort();
        for (std::size_t at = 0; at <= safe.size();) {
          std::size_t stop = safe.find('/', at);
          if (stop == std::string::npos) stop = safe.size();
          const std::string seg = safe.substr(at, stop - at);
          if (seg.empty() || seg == "." || seg == "..") std::abort();
          at = stop + 1;
        }
      } catch (const lk::Error&) {
      }
      // The declared size bounds the output; keep a run quick.
      if (e.uncompressed_size > (4u << 20)) continue;
      std::uint64_t seen = 0;
      try {
        zip.Extract(e, [&](lk::Bytes b) { seen += b.size(); });
        if (!e.is_directory && seen != e.uncompressed_size) std::abort();
      } catch (const lk::Error&) {
      }
      if (seen > e.uncompressed_size) std::abort();
    }
  } catch (const lk::Error&) {
  }
  return 0;
}
