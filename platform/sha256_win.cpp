#include <windows.h>
#include <bcrypt.h>

#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/sha256.h"
#include "platform/sha256_shani.h"

namespace lk {
namespace {

// One provider for the process: opening it is the expensive part, and a
// provider handle may be shared by hash objects on any thread.
BCRYPT_ALG_HANDLE Provider() {
  static BCRYPT_ALG_HANDLE alg = [] {
    BCRYPT_ALG_HANDLE h = nullptr;
    const NTSTATUS st = BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (st < 0) throw Error("SHA-256 is not available: " + std::to_string(static_cast<unsigned long>(st)));
    return h;
  }();
  return alg;
}

}  // namespace

struct Sha256::Impl {
  std::optional<Sha256Ni> fast;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~Impl() {
    if (hash) BCryptDestroyHash(hash);
  }
};

Sha256::Sha256(Sha256Backend backend) : impl_(std::make_unique<Impl>()) {
  if (backend == Sha256Backend::kFastest && ShaExtensionsAvailable()) {
    impl_->fast.emplace();
    return;
  }
  if (BCryptCreateHash(Provider(), &impl_->hash, nullptr, 0, nullptr, 0, 0) < 0)
    throw Error("SHA-256 hash object cannot be created");
}
Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(Bytes data) {
  if (impl_->fast) {
    impl_->fast->Update(data.data(), data.size());
    return;
  }
  // BCryptHashData takes a 32-bit length.
  while (!data.empty()) {
    const ULONG n = static_cast<ULONG>(data.size() > 0x40000000u ? 0x40000000u : data.size());
    if (BCryptHashData(impl_->hash, const_cast<PUCHAR>(data.data()), n, 0) < 0)
      throw Error("SHA-256 update failed");
    data = data.subspan(n);
  }
}

Sha256Digest Sha256::Final() {
  if (impl_->fast) return impl_->fast->Final();
  Sha256Digest d{};
  if (BCryptFinishHash(impl_->hash, d.data(), static_cast<ULONG>(d.size()), 0) < 0)
    throw Error("SHA-256 final failed");
  return d;
}

}  // namespace lk
