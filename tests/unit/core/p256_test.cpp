// The P-256 file structures: decoded from what the openssl command wrote
// (tests/fixtures/signing/make_fixtures.sh), encoded back byte for byte,
// and every malformed form refused. No cryptography here.
#include <gtest/gtest.h>

#include "core/base64.h"
#include "core/p256.h"
#include "platform/error.h"
#include "tests/support/temp_dir.h"

namespace lk {
namespace {

P256Number Number(const char* hex) {
  P256Number n{};
  for (int i = 0; i < 32; ++i)
    n[i] = static_cast<std::uint8_t>(std::stoi(std::string(hex + 2 * i, 2), nullptr, 16));
  return n;
}

std::string Fixture(const std::string& name) {
  return test::ReadTestFile(test::FixturePath("signing/" + name));
}

std::string FromHex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

std::string Repeat(std::string_view part, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += part;
  return out;
}

std::vector<std::uint8_t> PemOf(const std::string& text, const char* label) {
  const auto der = FindPemBlock(text, label);
  EXPECT_TRUE(der) << label;
  return der.value_or(std::vector<std::uint8_t>{});
}

// The key of RFC 6979 A.2.5.
const P256Number kD = Number("C9AFA9D845BA75166B5C215767B1D6934E50C3DB36E89B127B8A622B120F6721");
const P256PublicKey kQ{Number("60FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6"),
                       Number("7903FE1008B8BC99A41AE9E95628BC64F2F1B20C2D7E9F5177A3C294D4462299")};
const P256PublicKey kG{Number("6B17D1F2E12C4247F8BCE6E563A440F277037D812DEB33A0F4A13945D898C296"),
                       Number("4FE342E2FE1A7F9B8EE7EB4A7C0F9E162BCE33576B315ECECBB6406837BF51F5")};
const P256Number kP = Number("FFFFFFFF00000001000000000000000000000000FFFFFFFFFFFFFFFFFFFFFFFF");
const P256Number kN = Number("FFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551");

// p - v for 0 < v < p: the y of the point's negation.
P256Number Negate(const P256Number& v) {
  P256Number out{};
  int borrow = 0;
  for (int i = 31; i >= 0; --i) {
    const int d = kP[i] - v[i] - borrow;
    out[i] = static_cast<std::uint8_t>(d & 0xFF);
    borrow = d < 0;
  }
  return out;
}

TEST(P256Files, OpensslKeyFilesDecodeToTheRfcNumbersAndEncodeBackExactly) {
  const std::string pkcs8_pem = Fixture("rfc6979.key");
  const P256PrivateKey pkcs8 = DecodePrivateKeyInfo(PemOf(pkcs8_pem, "PRIVATE KEY"));
  EXPECT_EQ(pkcs8.d, kD);
  EXPECT_EQ(pkcs8.q, kQ);
  EXPECT_EQ(EncodePem("PRIVATE KEY", AsBytes(EncodePrivateKeyInfo(pkcs8))), pkcs8_pem);

  // SEC 1 after an "EC PARAMETERS" block, with the curve inside the key.
  const P256PrivateKey sec1 = DecodeEcPrivateKey(PemOf(Fixture("rfc6979-sec1.key"), "EC PRIVATE KEY"));
  EXPECT_EQ(sec1.d, kD);
  EXPECT_EQ(sec1.q, kQ);

  const std::string pub_pem = Fixture("rfc6979.pub"), pub_der = Fixture("rfc6979.pub.der");
  EXPECT_EQ(DecodeSubjectPublicKeyInfo(PemOf(pub_pem, "PUBLIC KEY")), kQ);
  EXPECT_EQ(DecodeSubjectPublicKeyInfo(AsBytes(pub_der)), kQ);
  EXPECT_EQ(EncodeSubjectPublicKeyInfo(kQ), pub_der);
  EXPECT_EQ(EncodePem("PUBLIC KEY", AsBytes(pub_der)), pub_pem);
}

TEST(P256Files, TheCurveEquation) {
  EXPECT_TRUE(IsOnP256Curve(kG));
  EXPECT_TRUE(IsOnP256Curve(kQ));
  // -Q = (x, p - y) lies on the curve too: the arithmetic is modulo p.
  EXPECT_TRUE(IsOnP256Curve({kQ.x, Negate(kQ.y)}));
  EXPECT_TRUE(IsOnP256Curve({kG.x, Negate(kG.y)}));
  for (int byte : {0, 1, 15, 31}) {
    for (bool in_x : {true, false}) {
      P256PublicKey bent = kQ;
      (in_x ? bent.x : bent.y)[byte] ^= 0x01;
      EXPECT_FALSE(IsOnP256Curve(bent)) << byte << in_x;
    }
  }
  EXPECT_FALSE(IsOnP256Curve({}));
  EXPECT_FALSE(IsOnP256Curve({kP, kQ.y}));
  // y + p is y's value again, but not a field element.
  EXPECT_FALSE(IsOnP256Curve({kQ.x, kP}));
}

TEST(P256Files, ScalarRange) {
  P256Number one{}, n_minus_1 = kN, all{};
  one[31] = 1;
  n_minus_1[31] -= 1;
  all.fill(0xFF);
  EXPECT_TRUE(IsP256Scalar(one));
  EXPECT_TRUE(IsP256Scalar(n_minus_1));
  EXPECT_TRUE(IsP256Scalar(kD));
  EXPECT_FALSE(IsP256Scalar({}));
  EXPECT_FALSE(IsP256Scalar(kN));
  EXPECT_FALSE(IsP256Scalar(all));
}

TEST(P256Files, SignaturesHaveOneDerForm) {
  P256Number small{}, high{}, padded{};
  small[31] = 1;
  high.fill(0x80);
  padded[2] = 0x7F;  // two zero bytes, then a byte without the sign bit
  padded[31] = 9;
  struct Case {
    P256Number r, s;
    std::string hex;
  };
  const Case cases[] = {
      {small, small, "3006020101020101"},
      {high, small, "3026022100" + Repeat("80", 32) + "020101"},
      {padded, high, "3043021e7f" + Repeat("00", 28) + "09022100" + Repeat("80", 32)},
  };
  for (const Case& c : cases) {
    const std::string der = EncodeEcdsaSignature({c.r, c.s});
    EXPECT_EQ(der, FromHex(c.hex)) << c.hex;
    EXPECT_EQ(DecodeEcdsaSignature(AsBytes(der)), (P256Signature{c.r, c.s})) << c.hex;
  }
  // The RFC's signature of "sample", as the fixture holds it.
  const std::string sample = Fixture("rfc6979-sample.sig");
  const P256Signature rs = DecodeEcdsaSignature(AsBytes(sample));
  EXPECT_EQ(rs.r, Number("EFD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716"));
  EXPECT_EQ(rs.s, Number("F7CB1C942D657C41D436C7A1B6E29F65F3E900DBB9AFF4064DC4AB2F843ACDA8"));
  EXPECT_EQ(EncodeEcdsaSignature(rs), sample);
}

TEST(P256Files, MalformedSignaturesAreRefused) {
  const std::string one = "020101";
  const std::string n =
      "022100" + std::string("FFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551");
  const std::string big = "022101" + Repeat("00", 32);       // 33 bytes, no sign bit to excuse them
  const std::string bigger = "02220080" + Repeat("00", 32);  // 00, then 33 bytes
  struct Case {
    const char* what;
    std::string hex;
  };
  const Case cases[] = {
      {"empty", ""},
      {"not a sequence", "3106" + one + one},
      {"long form for a short length", "308106" + one + one},
      {"indefinite length", "3080" + one + one + "0000"},
      {"a byte after the sequence", "3006" + one + one + "00"},
      {"a third number", "3009" + one + one + one},
      {"s missing", "3003" + one},
      {"r negative", "3006020180" + one},
      {"r with a needless zero byte", "300702020001" + one},
      {"r zero", "3006020100" + one},
      {"s zero", "3006" + one + "020100"},
      {"r empty", "30050200" + one},
      {"r equal to n", "3026" + n + one},
      {"r of 33 bytes", "3026" + big + one},
      {"r of 33 bytes after a zero", "3027" + bigger + one},
      {"r not an INTEGER", "3006040101" + one},
      {"sequence longer than the data", "3008" + one + one},
  };
  for (const Case& c : cases) {
    const std::string der = FromHex(c.hex);
    EXPECT_THROW(DecodeEcdsaSignature(AsBytes(der)), Error) << c.what;
  }
  // Every cut of a valid signature.
  const std::string sample = Fixture("rfc6979-sample.sig");
  for (std::size_t n_bytes = 0; n_bytes < sample.size(); ++n_bytes)
    EXPECT_THROW(DecodeEcdsaSignature(AsBytes(sample.substr(0, n_bytes))), Error) << n_bytes;
}

TEST(P256Files, MalformedPublicKeysAreRefusedWithTheReason) {
  const std::string der = Fixture("rfc6979.pub.der");
  std::string compressed = der.substr(0, der.size() - 32);
  compressed[1] = static_cast<char>(compressed[1] - 32);    // the outer length
  compressed[24] = static_cast<char>(compressed[24] - 32);  // the BIT STRING's length
  compressed[26] = 0x03;
  std::string off_curve = der;
  off_curve.back() ^= 0x01;
  std::string hybrid = der;
  hybrid[26] = 0x06;
  const std::vector<std::uint8_t> p384_der = PemOf(Fixture("p384.pub"), "PUBLIC KEY");
  const std::string p384(p384_der.begin(), p384_der.end());
  struct Case {
    const char* what;
    std::string der;
    const char* text;
  };
  const Case cases[] = {
      {"P-384", p384, "not on the curve P-256"},
      {"compressed point", compressed, "compressed points"},
      {"off the curve", off_curve, "not on the curve P-256"},
      {"hybrid point form", hybrid, "04 || x || y"},
      {"a byte after it", der + '\0', "unexpected bytes"},
      {"an RSA key", FromHex("3013300d06092a864886f70d010101050003020000"), "not an EC key"},
  };
  for (const Case& c : cases) {
    try {
      DecodeSubjectPublicKeyInfo(AsBytes(c.der));
      ADD_FAILURE() << c.what << " decoded";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << c.what << ": " << e.what();
    }
  }
  for (std::size_t n = 0; n < der.size(); ++n)
    EXPECT_THROW(DecodeSubjectPublicKeyInfo(AsBytes(der.substr(0, n))), Error) << n;
}

TEST(P256Files, MalformedPrivateKeysAreRefusedWithTheReason) {
  const std::vector<std::uint8_t> pkcs8 = PemOf(Fixture("rfc6979.key"), "PRIVATE KEY");
  // d sits after 30 81 87, version, algorithm, 04 6d, 30 6b, version, 04 20.
  std::vector<std::uint8_t> zero_d = pkcs8, big_d = pkcs8;
  const std::size_t d_at = 3 + 3 + 21 + 2 + 2 + 3 + 2;
  ASSERT_EQ(pkcs8[d_at], 0xC9);
  std::fill(zero_d.begin() + d_at, zero_d.begin() + d_at + 32, 0);
  std::copy(kN.begin(), kN.end(), big_d.begin() + d_at);
  std::vector<std::uint8_t> version2 = pkcs8;
  version2[5] = 2;
  struct Case {
    const char* what;
    std::vector<std::uint8_t> der;
    bool sec1;
    const char* text;
  };
  const Case cases[] = {
      {"no public key inside", PemOf(Fixture("rfc6979-nopub.key"), "EC PRIVATE KEY"), true, "no public key"},
      {"P-384", PemOf(Fixture("p384.key"), "PRIVATE KEY"), false, "not on the curve P-256"},
      {"Ed25519", PemOf(Fixture("ed25519.key"), "PRIVATE KEY"), false, "not an EC key"},
      {"d zero", zero_d, false, "out of range"},
      {"d equal to n", big_d, false, "out of range"},
      {"unknown version", version2, false, "unknown version"},
  };
  for (const Case& c : cases) {
    try {
      if (c.sec1)
        DecodeEcPrivateKey(c.der);
      else
        DecodePrivateKeyInfo(c.der);
      ADD_FAILURE() << c.what << " decoded";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << c.what << ": " << e.what();
    }
  }
  for (std::size_t n = 0; n < pkcs8.size(); ++n)
    EXPECT_THROW(DecodePrivateKeyInfo(Bytes(pkcs8.data(), n)), Error) << n;
}

TEST(P256Files, PemBlocks) {
  const std::string der = Fixture("rfc6979.pub.der");
  const std::string pem = EncodePem("PUBLIC KEY", AsBytes(der));
  // 91 bytes: 124 Base64 characters in lines of 64.
  EXPECT_EQ(pem.substr(0, 27), "-----BEGIN PUBLIC KEY-----\n");
  EXPECT_EQ(pem.find('\n', 27), 27u + 64);
  const std::vector<std::uint8_t> want(der.begin(), der.end());

  std::string crlf;
  for (char c : pem) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::string found[] = {
      pem,
      crlf,
      "Some words before\n" + pem + "and after\n",
      "-----BEGIN EC PARAMETERS-----\nBggqhkjOPQMBBw==\n-----END EC PARAMETERS-----\n" + pem,
  };
  for (const std::string& text : found) EXPECT_EQ(FindPemBlock(text, "PUBLIC KEY"), want) << text;

  EXPECT_FALSE(FindPemBlock(pem, "PRIVATE KEY"));
  EXPECT_FALSE(FindPemBlock("x" + pem, "PUBLIC KEY"));  // the marker not at a line's start
  EXPECT_FALSE(FindPemBlock("", "PUBLIC KEY"));
  // "PRIVATE KEY" is not found inside "EC PRIVATE KEY" or "ENCRYPTED PRIVATE KEY".
  EXPECT_FALSE(FindPemBlock(Fixture("rfc6979-sec1.key"), "PRIVATE KEY"));
  EXPECT_FALSE(FindPemBlock(Fixture("encrypted.key"), "PRIVATE KEY"));

  std::string bad_char = pem, bad_tail = pem;
  bad_char[40] = '*';
  bad_tail.replace(bad_tail.find("=="), 2, "=A");
  const std::string errors[] = {
      pem.substr(0, pem.find("-----END")),
      "-----BEGIN PUBLIC KEY-----\nProc-Type: 4,ENCRYPTED\n" + pem.substr(27),
      bad_char,
      bad_tail,
      "-----BEGIN PUBLIC KEY-----\n-----END PUBLIC KEY-----\n",
  };
  for (const std::string& text : errors) EXPECT_THROW(FindPemBlock(text, "PUBLIC KEY"), Error) << text;
}

TEST(Base64Strict, OneTextPerByteString) {
  struct Case {
    const char* text;
    std::optional<std::string> bytes;
  };
  const Case cases[] = {
      {"", ""},
      {"TWFu", "Man"},
      {"TWE=", "Ma"},
      {"TQ==", "M"},
      {" TW\r\nFu\t", "Man"},
      {"TWFuTQ==", "ManM"},
      {"TWF", std::nullopt},       // not a whole group
      {"TQ=A", std::nullopt},      // padding before data
      {"TQ==TWFu", std::nullopt},  // padding not at the end
      {"TR==", std::nullopt},      // unused bits set
      {"TWF=", std::nullopt},      // "Ma" is TWE=; F sets an unused bit
      {"T===", std::nullopt},
      {"TW-u", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto got = DecodeBase64Strict(c.text);
    if (!c.bytes) {
      EXPECT_FALSE(got) << c.text;
    } else {
      ASSERT_TRUE(got) << c.text;
      EXPECT_EQ(std::string(got->begin(), got->end()), *c.bytes) << c.text;
    }
  }
}

}  // namespace
}  // namespace lk
