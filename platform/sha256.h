#pragma once
// SHA-256 (FIPS 180-4): on Windows our own on the processor's SHA
// extensions where it has them (Wine's BCrypt is a slow portable one), else
// BCrypt; on the host OpenSSL's libcrypto (which uses them itself).
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/text.h"

namespace lk {

using Sha256Digest = std::array<std::uint8_t, 32>;

enum class Sha256Backend {
  kFastest,   // the processor's SHA extensions where the platform's is slower
  kPlatform,  // always BCrypt or libcrypto (tests compare the two)
};

class Sha256 {
 public:
  explicit Sha256(Sha256Backend backend = Sha256Backend::kFastest);
  ~Sha256();
  Sha256(Sha256&&) noexcept;
  Sha256& operator=(Sha256&&) noexcept;
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(Bytes data);
  // Ends the hash; the object must not be updated afterwards.
  Sha256Digest Final();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

Sha256Digest ComputeSha256(Bytes data);
std::string ToLowerHex(Bytes data);

}  // namespace lk
