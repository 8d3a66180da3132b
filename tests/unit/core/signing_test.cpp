// Keys and detached signatures with the platform's cryptography: libcrypto
// on the host, BCrypt under Wine. The fixtures were made by the openssl
// command (RFC 6979's key and signatures, a random signature) and by
// BCrypt under Wine, so each platform checks the other's work.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "core/p256.h"
#include "core/signing.h"
#include "platform/error.h"
#include "tests/support/temp_dir.h"

namespace lk {
namespace {

std::string Fixture(const std::string& name) {
  return test::ReadTestFile(test::FixturePath("signing/" + name));
}

std::string RandomBytes(std::size_t n, std::mt19937& rng) {
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

void ExpectThrowsWith(const std::function<void()>& f, const std::string& text, const std::string& what) {
  try {
    f();
    ADD_FAILURE() << what << ": no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << what << ": " << e.what();
  }
}

TEST(Signing, StandardAndCrossPlatformSignaturesVerify) {
  const PublicKey rfc = ReadPublicKeyFile(Fixture("rfc6979.pub"));
  const std::string message = Fixture("message.txt");
  struct Case {
    const char* what;
    std::string message, signature;
  };
  const Case cases[] = {
      {"RFC 6979 A.2.5, SHA-256, \"sample\"", "sample", Fixture("rfc6979-sample.sig")},
      {"RFC 6979 A.2.5, SHA-256, \"test\"", "test", Fixture("rfc6979-test.sig")},
      {"made by the openssl command", message, Fixture("openssl-message.sig")},
      {"made by BCrypt under Wine", message, Fixture("bcrypt-message.sig")},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(VerifyDetachedSignature(rfc, AsBytes(c.message), AsBytes(c.signature))) << c.what;
    EXPECT_FALSE(VerifyDetachedSignature(rfc, AsBytes(c.message + "\n"), AsBytes(c.signature))) << c.what;
  }
  // The RFC's two signatures do not fit each other's message, nor with r
  // and s swapped.
  EXPECT_FALSE(VerifyDetachedSignature(rfc, AsBytes("test"), AsBytes(Fixture("rfc6979-sample.sig"))));
  P256Signature swapped = DecodeEcdsaSignature(AsBytes(Fixture("rfc6979-sample.sig")));
  std::swap(swapped.r, swapped.s);
  EXPECT_FALSE(VerifyDetachedSignature(rfc, AsBytes("sample"), AsBytes(EncodeEcdsaSignature(swapped))));
  // The fingerprint is what `openssl pkey -outform DER | sha256sum` printed.
  EXPECT_EQ(KeyFingerprint(rfc) + "\n", Fixture("rfc6979.pub.sha256"));
}

TEST(Signing, TheRfcKeyFromEitherPrivateFormSigns) {
  const PublicKey rfc = ReadPublicKeyFile(Fixture("rfc6979.pub.der"));
  for (const char* file : {"rfc6979.key", "rfc6979-sec1.key"}) {
    const PrivateKey key = ReadPrivateKeyFile(Fixture(file));
    EXPECT_EQ(key.Public(), rfc) << file;
    const std::string sig = SignDetached(key, AsBytes("sample"));
    EXPECT_TRUE(VerifyDetachedSignature(rfc, AsBytes("sample"), AsBytes(sig))) << file;
  }
}

// Random messages, tampered bytes, another key.
TEST(Signing, SignaturesOfFreshKeysVerifyAndNothingElseDoes) {
  std::mt19937 rng(7);
  const PrivateKey key = GenerateSigningKey(), other = GenerateSigningKey();
  EXPECT_NE(key.Public(), other.Public());
  for (std::size_t size : {0u, 1u, 31u, 64u, 1000u, 1u << 20}) {
    const std::string message = RandomBytes(size, rng);
    const std::string sig = SignDetached(key, AsBytes(message));
    EXPECT_TRUE(VerifyDetachedSignature(key.Public(), AsBytes(message), AsBytes(sig))) << size;
    EXPECT_FALSE(VerifyDetachedSignature(other.Public(), AsBytes(message), AsBytes(sig))) << size;
    EXPECT_FALSE(VerifyDetachedSignature(key.Public(), AsBytes(message + '\0'), AsBytes(sig))) << size;
    if (size > 0) {
      std::string changed = message;
      changed[rng() % size] ^= static_cast<char>(1 << (rng() % 8));
      EXPECT_FALSE(VerifyDetachedSignature(key.Public(), AsBytes(changed), AsBytes(sig))) << size;
    }
    // Every byte of the signature matters.
    for (std::size_t at = 0; at < sig.size(); ++at) {
      std::string bad = sig;
      bad[at] ^= 0x01;
      EXPECT_FALSE(VerifyDetachedSignature(key.Public(), AsBytes(message), AsBytes(bad)))
          << size << " " << at;
    }
    EXPECT_FALSE(VerifyDetachedSignature(key.Public(), AsBytes(message), AsBytes(sig + '\0'))) << size;
    EXPECT_FALSE(VerifyDetachedSignature(key.Public(), AsBytes(message), AsBytes(""))) << size;
  }
}

TEST(Signing, KeysSurviveTheirFilesAndEverySignatureHasItsDerForm) {
  std::mt19937 rng(11);
  for (int i = 0; i < 16; ++i) {
    const PrivateKey key = GenerateSigningKey();
    const PrivateKey back = ReadPrivateKeyFile(PrivateKeyPem(key));
    EXPECT_EQ(back.value().d, key.value().d);
    EXPECT_EQ(back.Public(), key.Public());
    EXPECT_EQ(ReadPublicKeyFile(PublicKeyPem(key.Public())), key.Public());
    EXPECT_EQ(PublicKeyFromDer(AsBytes(PublicKeyDer(key.Public()))), key.Public());
    for (int j = 0; j < 8; ++j) {
      const std::string message = RandomBytes(40, rng);
      const std::string sig = SignDetached(back, AsBytes(message));
      // The file holds the one DER form of (r, s).
      EXPECT_EQ(EncodeEcdsaSignature(DecodeEcdsaSignature(AsBytes(sig))), sig);
      EXPECT_TRUE(VerifyDetachedSignature(key.Public(), AsBytes(message), AsBytes(sig)));
    }
  }
}

TEST(Signing, APrivateKeyWhoseHalvesDoNotBelongTogetherCannotSign) {
  const PrivateKey a = GenerateSigningKey(), b = GenerateSigningKey();
  P256PrivateKey mixed = a.value();
  mixed.q = b.value().q;
  ExpectThrowsWith([&] { SignDetached(PrivateKey(mixed), AsBytes("manifest")); }, "does not belong",
                   "mixed halves");
}

TEST(Signing, KeyFilesOfTheWrongKindSayWhatTheyHold) {
  struct Case {
    const char* what;
    std::string contents;
    bool as_public;
    const char* text;
  };
  const std::string pub = Fixture("rfc6979.pub"), key = Fixture("rfc6979.key");
  const Case cases[] = {
      {"private key as public", key, true, "holds a private key"},
      {"public key as private", pub, false, "holds a public key"},
      {"encrypted key", Fixture("encrypted.key"), false, "encrypted private key"},
      {"Ed25519 key", Fixture("ed25519.key"), false, "not an EC key"},
      {"P-384 key", Fixture("p384.key"), false, "not on the curve P-256"},
      {"P-384 public key", Fixture("p384.pub"), true, "not on the curve P-256"},
      {"no public point", Fixture("rfc6979-nopub.key"), false, "no public key"},
      {"garbage as public", "not a key at all", true, "public key"},
      {"garbage as private", "not a key at all", false, "private key"},
      {"empty", "", true, "public key"},
  };
  for (const Case& c : cases) {
    if (c.as_public)
      ExpectThrowsWith([&] { ReadPublicKeyFile(c.contents); }, c.text, c.what);
    else
      ExpectThrowsWith([&] { ReadPrivateKeyFile(c.contents); }, c.text, c.what);
  }
}

}  // namespace
}  // namespace lk
