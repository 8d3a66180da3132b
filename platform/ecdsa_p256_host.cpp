// ECDSA P-256 through OpenSSL 3's EVP interface. Keys go in and out as
// provider parameters (group name, encoded point, private scalar), so no
// deprecated EC_KEY call is needed; signatures leave OpenSSL as its DER
// ECDSA-Sig-Value and are taken apart with OpenSSL's own decoder, keeping
// our encoder out of this path.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <memory>
#include <vector>

#include "platform/ecdsa_p256.h"
#include "platform/error.h"

namespace lk {
namespace {

struct PkeyFree {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct PkeyCtxFree {
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
};
struct BnClearFree {
  void operator()(BIGNUM* p) const { BN_clear_free(p); }
};
struct ParamBldFree {
  void operator()(OSSL_PARAM_BLD* p) const { OSSL_PARAM_BLD_free(p); }
};
struct ParamFree {
  void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
};
struct SigFree {
  void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Bn = std::unique_ptr<BIGNUM, BnClearFree>;

constexpr char kGroup[] = "prime256v1";

std::array<std::uint8_t, 65> EncodedPoint(const P256PublicKey& q) {
  std::array<std::uint8_t, 65> point{};
  point[0] = 0x04;  // uncompressed
  std::copy(q.x.begin(), q.x.end(), point.begin() + 1);
  std::copy(q.y.begin(), q.y.end(), point.begin() + 33);
  return point;
}

// Null when OpenSSL refuses the values (a point off the curve, d = 0, ...).
Pkey ImportKey(const P256PublicKey& q, const P256Number* d) {
  std::unique_ptr<OSSL_PARAM_BLD, ParamBldFree> bld(OSSL_PARAM_BLD_new());
  if (!bld) return nullptr;
  std::array<std::uint8_t, 65> point = EncodedPoint(q);
  Bn secret;
  if (!OSSL_PARAM_BLD_push_utf8_string(bld.get(), OSSL_PKEY_PARAM_GROUP_NAME, kGroup, 0) ||
      !OSSL_PARAM_BLD_push_octet_string(bld.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()))
    return nullptr;
  if (d) {
    secret.reset(BN_bin2bn(d->data(), static_cast<int>(d->size()), nullptr));
    if (!secret || !OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_PRIV_KEY, secret.get())) return nullptr;
  }
  std::unique_ptr<OSSL_PARAM, ParamFree> params(OSSL_PARAM_BLD_to_param(bld.get()));
  std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1) return nullptr;
  EVP_PKEY* raw = nullptr;
  if (EVP_PKEY_fromdata(ctx.get(), &raw, d ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
    return nullptr;
  return Pkey(raw);
}

bool NumberOf(const BIGNUM* bn, P256Number& out) {
  return bn && BN_bn2binpad(bn, out.data(), static_cast<int>(out.size())) == static_cast<int>(out.size());
}

}  // namespace

P256PrivateKey GenerateP256Key() {
  Pkey pkey(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  if (!pkey) throw Error("ECDSA P-256 key generation failed (libcrypto)");
  P256PrivateKey key;
  BIGNUM* raw_d = nullptr;
  if (EVP_PKEY_get_bn_param(pkey.get(), OSSL_PKEY_PARAM_PRIV_KEY, &raw_d) != 1)
    throw Error("ECDSA P-256 key generation failed: no private scalar");
  const Bn d(raw_d);
  std::array<std::uint8_t, 65> point{};
  std::size_t n = 0;
  if (!NumberOf(d.get(), key.d) ||
      EVP_PKEY_get_octet_string_param(pkey.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size(), &n) !=
          1 ||
      n != point.size() || point[0] != 0x04)
    throw Error("ECDSA P-256 key generation failed: unexpected key form");
  std::copy(point.begin() + 1, point.begin() + 33, key.q.x.begin());
  std::copy(point.begin() + 33, point.end(), key.q.y.begin());
  return key;
}

P256Signature SignP256Sha256(const P256PrivateKey& key, Bytes message) {
  const Pkey pkey = ImportKey(key.q, &key.d);
  if (!pkey) throw Error("libcrypto refuses the ECDSA P-256 private key");
  std::unique_ptr<EVP_MD_CTX, MdCtxFree> md(EVP_MD_CTX_new());
  std::size_t length = 0;
  if (!md || EVP_DigestSignInit(md.get(), nullptr, EVP_sha256(), nullptr, pkey.get()) != 1 ||
      EVP_DigestSign(md.get(), nullptr, &length, message.data(), message.size()) != 1)
    throw Error("ECDSA P-256 signing failed (libcrypto)");
  std::vector<std::uint8_t> der(length);
  if (EVP_DigestSign(md.get(), der.data(), &length, message.data(), message.size()) != 1)
    throw Error("ECDSA P-256 signing failed (libcrypto)");
  const unsigned char* p = der.data();
  std::unique_ptr<ECDSA_SIG, SigFree> sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(length)));
  const BIGNUM *r = nullptr, *s = nullptr;
  if (sig) ECDSA_SIG_get0(sig.get(), &r, &s);
  P256Signature out;
  if (!sig || !NumberOf(r, out.r) || !NumberOf(s, out.s))
    throw Error("ECDSA P-256 signing failed: unexpected signature form");
  return out;
}

bool VerifyP256Sha256(const P256PublicKey& key, Bytes message, const P256Signature& signature) {
  const Pkey pkey = ImportKey(key, nullptr);
  if (!pkey) return false;
  std::unique_ptr<ECDSA_SIG, SigFree> sig(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(signature.r.data(), static_cast<int>(signature.r.size()), nullptr);
  BIGNUM* s = BN_bin2bn(signature.s.data(), static_cast<int>(signature.s.size()), nullptr);
  if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return false;
  }
  unsigned char* der = nullptr;
  const int der_length = i2d_ECDSA_SIG(sig.get(), &der);
  if (der_length <= 0) return false;
  const std::unique_ptr<unsigned char, void (*)(unsigned char*)> der_owner(
      der, [](unsigned char* q) { OPENSSL_free(q); });
  std::unique_ptr<EVP_MD_CTX, MdCtxFree> md(EVP_MD_CTX_new());
  return md && EVP_DigestVerifyInit(md.get(), nullptr, EVP_sha256(), nullptr, pkey.get()) == 1 &&
         EVP_DigestVerify(md.get(), der, static_cast<std::size_t>(der_length), message.data(),
                          message.size()) == 1;
}

}  // namespace lk
