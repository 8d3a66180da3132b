#pragma once
// SHA-256 on the processor's SHA extensions (x86 SHA-NI), several times
// faster than a portable implementation such as Wine's BCrypt. Used only
// where the processor has them; Sha256 picks it at run time.
#include <cstddef>
#include <cstdint>

#include "platform/sha256.h"

namespace lk {

// The processor has SHA-NI together with SSSE3 and SSE4.1.
bool ShaExtensionsAvailable();

// Call only when ShaExtensionsAvailable() is true.
class Sha256Ni {
 public:
  Sha256Ni();
  void Update(const std::uint8_t* data, std::size_t size);
  Sha256Digest Final();

 private:
  std::uint32_t state_[8];
  std::uint8_t pending_[64];
  std::size_t pending_size_ = 0;
  std::uint64_t total_ = 0;
};

}  // namespace lk
