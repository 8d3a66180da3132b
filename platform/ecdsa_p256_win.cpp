// ECDSA P-256 through BCrypt (also under Wine 8, whose BCrypt does it with
// GnuTLS). Keys travel as BCRYPT_ECCKEY_BLOB: the header, then X, Y and,
// for a private key, d, each 32 bytes big-endian; signatures as r || s.
#include <windows.h>
// bcrypt.h needs the types of windows.h.
#include <bcrypt.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/ecdsa_p256.h"
#include "platform/error.h"
#include "platform/handles.h"
#include "platform/sha256.h"

namespace lk {
namespace {

struct DestroyKeyFn {
  void operator()(BCRYPT_KEY_HANDLE h) const { ::BCryptDestroyKey(h); }
};
using UniqueKey = UniqueAny<BCRYPT_KEY_HANDLE, DestroyKeyFn>;

std::string StatusText(const char* what, NTSTATUS st) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(st));
  return std::string(what) + " (BCrypt status " + code + ")";
}

// One provider for the process, as for SHA-256: opening it is the costly
// part, and a provider handle may be shared by keys on any thread.
BCRYPT_ALG_HANDLE Provider() {
  static BCRYPT_ALG_HANDLE alg = [] {
    BCRYPT_ALG_HANDLE h = nullptr;
    const NTSTATUS st = BCryptOpenAlgorithmProvider(&h, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
    if (st < 0) throw Error(StatusText("ECDSA P-256 is not available", st));
    return h;
  }();
  return alg;
}

constexpr std::size_t kHeader = sizeof(BCRYPT_ECCKEY_BLOB);

std::vector<std::uint8_t> Blob(const P256PublicKey& q, const P256Number* d) {
  std::vector<std::uint8_t> blob(kHeader + 64 + (d ? 32 : 0));
  BCRYPT_ECCKEY_BLOB header{};
  header.dwMagic = d ? BCRYPT_ECDSA_PRIVATE_P256_MAGIC : BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
  header.cbKey = 32;
  std::memcpy(blob.data(), &header, kHeader);
  std::memcpy(blob.data() + kHeader, q.x.data(), 32);
  std::memcpy(blob.data() + kHeader + 32, q.y.data(), 32);
  if (d) std::memcpy(blob.data() + kHeader + 64, d->data(), 32);
  return blob;
}

// Returns the status; the key handle is set on success.
NTSTATUS Import(const P256PublicKey& q, const P256Number* d, UniqueKey& key) {
  std::vector<std::uint8_t> blob = Blob(q, d);
  const NTSTATUS st =
      BCryptImportKeyPair(Provider(), nullptr, d ? BCRYPT_ECCPRIVATE_BLOB : BCRYPT_ECCPUBLIC_BLOB, key.put(),
                          blob.data(), static_cast<ULONG>(blob.size()), 0);
  SecureZeroMemory(blob.data(), blob.size());
  return st;
}

}  // namespace

P256PrivateKey GenerateP256Key() {
  UniqueKey key;
  NTSTATUS st = BCryptGenerateKeyPair(Provider(), key.put(), 256, 0);
  if (st >= 0) st = BCryptFinalizeKeyPair(key.get(), 0);
  if (st < 0) throw Error(StatusText("ECDSA P-256 key generation failed", st));
  std::vector<std::uint8_t> blob(kHeader + 96);
  ULONG n = 0;
  st = BCryptExportKey(key.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                       static_cast<ULONG>(blob.size()), &n, 0);
  BCRYPT_ECCKEY_BLOB header{};
  std::memcpy(&header, blob.data(), kHeader);
  if (st < 0 || n != blob.size() || header.dwMagic != BCRYPT_ECDSA_PRIVATE_P256_MAGIC || header.cbKey != 32) {
    SecureZeroMemory(blob.data(), blob.size());
    throw Error(StatusText("ECDSA P-256 key export failed", st));
  }
  P256PrivateKey out;
  std::memcpy(out.q.x.data(), blob.data() + kHeader, 32);
  std::memcpy(out.q.y.data(), blob.data() + kHeader + 32, 32);
  std::memcpy(out.d.data(), blob.data() + kHeader + 64, 32);
  SecureZeroMemory(blob.data(), blob.size());
  return out;
}

P256Signature SignP256Sha256(const P256PrivateKey& key, Bytes message) {
  UniqueKey handle;
  NTSTATUS st = Import(key.q, &key.d, handle);
  if (st < 0) throw Error(StatusText("BCrypt refuses the ECDSA P-256 private key", st));
  Sha256Digest digest = ComputeSha256(message);
  std::uint8_t raw[64];
  ULONG n = 0;
  st = BCryptSignHash(handle.get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()), raw,
                      sizeof raw, &n, 0);
  if (st < 0 || n != sizeof raw) throw Error(StatusText("ECDSA P-256 signing failed", st));
  P256Signature out;
  std::memcpy(out.r.data(), raw, 32);
  std::memcpy(out.s.data(), raw + 32, 32);
  return out;
}

bool VerifyP256Sha256(const P256PublicKey& key, Bytes message, const P256Signature& signature) {
  UniqueKey handle;
  if (Import(key, nullptr, handle) < 0) return false;
  Sha256Digest digest = ComputeSha256(message);
  std::uint8_t raw[64];
  std::memcpy(raw, signature.r.data(), 32);
  std::memcpy(raw + 32, signature.s.data(), 32);
  return BCryptVerifySignature(handle.get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()), raw,
                               sizeof raw, 0) == 0;
}

}  // namespace lk
