#include <openssl/evp.h>

#include "platform/error.h"
#include "platform/sha256.h"

namespace lk {

struct Sha256::Impl {
  EVP_MD_CTX* ctx = nullptr;
  ~Impl() { EVP_MD_CTX_free(ctx); }
};

Sha256::Sha256(Sha256Backend) : impl_(std::make_unique<Impl>()) {
  impl_->ctx = EVP_MD_CTX_new();
  if (!impl_->ctx || EVP_DigestInit_ex(impl_->ctx, EVP_sha256(), nullptr) != 1)
    throw Error("SHA-256 is not available");
}
Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(Bytes data) {
  if (!data.empty() && EVP_DigestUpdate(impl_->ctx, data.data(), data.size()) != 1)
    throw Error("SHA-256 update failed");
}

Sha256Digest Sha256::Final() {
  Sha256Digest d{};
  unsigned int n = 0;
  if (EVP_DigestFinal_ex(impl_->ctx, d.data(), &n) != 1 || n != d.size())
    throw Error("SHA-256 final failed");
  return d;
}

}  // namespace lk
