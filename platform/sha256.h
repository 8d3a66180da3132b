#pragma once
// SHA-256 (FIPS 180-4) through the platform's own implementation: BCrypt on
// Windows, OpenSSL's libcrypto on the host.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/text.h"

namespace lk {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
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
