#pragma once
// Keys and detached signatures for signed updates: ECDSA P-256 over
// SHA-256, computed by the platform (BCrypt on Windows, libcrypto on the
// host), in files the `openssl` command reads:
//
//   <name>.key  PKCS #8 PEM ("PRIVATE KEY"); SEC 1 ("EC PRIVATE KEY") and
//               DER are read too
//   <name>.pub  SubjectPublicKeyInfo PEM ("PUBLIC KEY"); DER is read too
//   <file>.sig  the DER ECDSA-Sig-Value of SHA-256(file), binary, as
//               `openssl dgst -sha256 -sign` writes it and `-verify` checks
//
// Used by launcher-kit on both platforms and by the launcher on Windows.
#include <string>
#include <string_view>

#include "platform/ecdsa_p256.h"
#include "platform/text.h"

namespace lk {

// A public key whose point lies on the curve.
class PublicKey {
 public:
  // Throws Error for a point that is not on the curve.
  explicit PublicKey(const P256PublicKey& point);
  const P256PublicKey& point() const { return point_; }
  bool operator==(const PublicKey&) const = default;

 private:
  P256PublicKey point_;
};

// A private key: d in range and its public point on the curve.
class PrivateKey {
 public:
  // Throws Error when d or the point is out of range.
  explicit PrivateKey(const P256PrivateKey& key);
  const P256PrivateKey& value() const { return key_; }
  PublicKey Public() const { return PublicKey(key_.q); }

 private:
  P256PrivateKey key_;
};

PrivateKey GenerateSigningKey();

// SubjectPublicKeyInfo DER: the launcher package's key block, and what the
// fingerprint is taken of.
std::string PublicKeyDer(const PublicKey& key);
// Throws Error naming the fault.
PublicKey PublicKeyFromDer(Bytes der);
// SHA-256 of the SubjectPublicKeyInfo DER, 64 lowercase hex digits: what
// `openssl pkey -pubin -in <name>.pub -outform DER | sha256sum` prints.
std::string KeyFingerprint(const PublicKey& key);

std::string PublicKeyPem(const PublicKey& key);
std::string PrivateKeyPem(const PrivateKey& key);

// The contents of a key file, PEM or DER. Throws Error saying what the file
// holds instead (a private key where a public one belongs, another kind of
// key, an encrypted key, damaged data).
PublicKey ReadPublicKeyFile(std::string_view contents);
PrivateKey ReadPrivateKeyFile(std::string_view contents);

// The signature file of `message`. It checks its own result with the public
// point, so a private key file whose two halves do not belong together is
// an Error, never a signature nobody can verify.
std::string SignDetached(const PrivateKey& key, Bytes message);

// True exactly when `signature` is a signature file (strict DER) of
// `message` made with the private half of `key`.
bool VerifyDetachedSignature(const PublicKey& key, Bytes message, Bytes signature);

}  // namespace lk
