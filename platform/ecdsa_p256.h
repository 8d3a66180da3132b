#pragma once
// ECDSA over the NIST curve P-256 with SHA-256, through the platform's own
// implementation: BCrypt on Windows, OpenSSL's libcrypto on the host. Keys
// and signatures cross this interface as raw numbers (big-endian, 32 bytes
// each); their file formats are portable code in core/p256.h.
#include <array>
#include <cstdint>

#include "platform/text.h"

namespace lk {

// A field element or a scalar, big-endian.
using P256Number = std::array<std::uint8_t, 32>;

// An affine point (x, y) of the curve.
struct P256PublicKey {
  P256Number x{};
  P256Number y{};
  bool operator==(const P256PublicKey&) const = default;
};

// The secret scalar d with its public point Q = d * G.
struct P256PrivateKey {
  P256Number d{};
  P256PublicKey q;
};

struct P256Signature {
  P256Number r{};
  P256Number s{};
  bool operator==(const P256Signature&) const = default;
};

// A fresh key pair from the system's random generator. Throws Error.
P256PrivateKey GenerateP256Key();

// Signs SHA-256(message). The platform takes the public point as given
// (BCrypt does not check it against d), so callers that need a matching
// pair verify the result. Throws Error when the platform refuses the key.
P256Signature SignP256Sha256(const P256PrivateKey& key, Bytes message);

// True when the signature is valid for SHA-256(message) under the key;
// false for every other answer, a key the platform refuses included.
bool VerifyP256Sha256(const P256PublicKey& key, Bytes message, const P256Signature& signature);

}  // namespace lk
