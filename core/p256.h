#pragma once
// The fixed ECDSA P-256 structures as files carry them, in the encodings
// the `openssl` command reads and writes, and the curve equation. Pure
// byte work, no cryptography: signing and verifying are the platform's
// (platform/ecdsa_p256.h). Every decoder is strict DER with bounds-checked
// reads and throws Error naming what is wrong.
//
//   SubjectPublicKeyInfo ("PUBLIC KEY"): algorithm id-ecPublicKey with the
//     named curve prime256v1, the point uncompressed (04 || x || y).
//   PKCS #8 PrivateKeyInfo ("PRIVATE KEY") around a SEC 1 ECPrivateKey
//     ("EC PRIVATE KEY"): version 1, d as 32 bytes, [1] the public point.
//   ECDSA-Sig-Value: SEQUENCE { INTEGER r, INTEGER s }, each minimal.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ecdsa_p256.h"
#include "platform/text.h"

namespace lk {

// x and y below the field prime and y^2 = x^3 - 3x + b.
bool IsOnP256Curve(const P256PublicKey& point);
// 1 <= v < n, the order of the group: a valid d, r or s.
bool IsP256Scalar(const P256Number& v);

std::string EncodeSubjectPublicKeyInfo(const P256PublicKey& key);
// Also refuses a point that is not on the curve.
P256PublicKey DecodeSubjectPublicKeyInfo(Bytes der);

// PKCS #8, unencrypted, as `openssl genpkey` writes it.
std::string EncodePrivateKeyInfo(const P256PrivateKey& key);
P256PrivateKey DecodePrivateKeyInfo(Bytes der);
// SEC 1, as `openssl ecparam -genkey` writes it. Both private decoders
// require the public point inside (openssl always writes it) and refuse a
// d outside 1..n-1 or a point off the curve; whether the two belong
// together only signing can tell.
P256PrivateKey DecodeEcPrivateKey(Bytes der);

std::string EncodeEcdsaSignature(const P256Signature& signature);
// Only the one DER form of each signature; r and s must be in 1..n-1.
P256Signature DecodeEcdsaSignature(Bytes der);

// "-----BEGIN <label>-----", Base64 in lines of 64, "-----END <label>-----",
// with "\n" line ends.
std::string EncodePem(std::string_view label, Bytes der);
// The contents of the first block with that label (other blocks, and text
// around them, are passed over, as openssl does); nullopt when there is
// none. Throws Error for a block without its end line, with header lines
// (an encrypted key), or whose Base64 is damaged.
std::optional<std::vector<std::uint8_t>> FindPemBlock(std::string_view text, std::string_view label);

}  // namespace lk
