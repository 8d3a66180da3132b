// P-256 structures in DER and PEM, and the curve equation (see p256.h).
#include "core/p256.h"

#include <algorithm>
#include <cstring>

#include "core/base64.h"
#include "platform/error.h"

namespace lk {
namespace {

// --- 256-bit numbers, only as far as the curve equation needs them --------

// Four 64-bit limbs, least significant first.
using U256 = std::array<std::uint64_t, 4>;

constexpr U256 FromHex(const char (&hex)[65]) {
  U256 v{};
  for (int i = 0; i < 64; ++i) {
    const char c = hex[i];
    const std::uint64_t d = c <= '9' ? c - '0' : c - 'A' + 10;
    const int bit = (63 - i) * 4;
    v[bit / 64] |= d << (bit % 64);
  }
  return v;
}

// The curve: y^2 = x^3 - 3x + b over the prime p; n is the group order.
constexpr U256 kP = FromHex("FFFFFFFF00000001000000000000000000000000FFFFFFFFFFFFFFFFFFFFFFFF");
constexpr U256 kB = FromHex("5AC635D8AA3A93E7B3EBBD55769886BC651D06B0CC53B0F63BCE3C3E27D2604B");
constexpr U256 kN = FromHex("FFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551");

U256 FromBytes(const P256Number& b) {
  U256 v{};
  for (int i = 0; i < 32; ++i) v[(31 - i) / 8] |= static_cast<std::uint64_t>(b[i]) << (8 * ((31 - i) % 8));
  return v;
}

bool Less(const U256& a, const U256& b) {
  for (int i = 3; i >= 0; --i)
    if (a[i] != b[i]) return a[i] < b[i];
  return false;
}

bool IsZero(const U256& a) { return (a[0] | a[1] | a[2] | a[3]) == 0; }

// a + b, returning the carry out of the top limb.
bool Add(U256& out, const U256& a, const U256& b) {
  std::uint64_t carry = 0;
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t s = a[i] + carry;
    const std::uint64_t c1 = s < carry;
    out[i] = s + b[i];
    carry = c1 + (out[i] < s);
  }
  return carry != 0;
}

// a - b, returning the borrow out of the top limb.
bool Sub(U256& out, const U256& a, const U256& b) {
  std::uint64_t borrow = 0;
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t d = a[i] - borrow;
    const std::uint64_t b1 = a[i] < borrow;
    out[i] = d - b[i];
    borrow = b1 + (d < b[i]);
  }
  return borrow != 0;
}

// For a, b < p.
U256 AddMod(const U256& a, const U256& b) {
  U256 s;
  if (Add(s, a, b) || !Less(s, kP)) Sub(s, s, kP);
  return s;
}
U256 SubMod(const U256& a, const U256& b) {
  U256 d;
  if (Sub(d, a, b)) Add(d, d, kP);
  return d;
}
// Double and add over the bits of b: slow, but checking one point takes
// three products.
U256 MulMod(const U256& a, const U256& b) {
  U256 r{};
  for (int bit = 255; bit >= 0; --bit) {
    r = AddMod(r, r);
    if ((b[bit / 64] >> (bit % 64)) & 1) r = AddMod(r, a);
  }
  return r;
}

// --- DER --------------------------------------------------------------------

constexpr std::uint8_t kSequence = 0x30, kInteger = 0x02, kBitString = 0x03, kOctetString = 0x04, kOid = 0x06,
                       kContext0 = 0xA0, kContext1 = 0xA1, kImplicit1 = 0x81;

// 1.2.840.10045.2.1 (id-ecPublicKey) and 1.2.840.10045.3.1.7 (prime256v1).
constexpr std::uint8_t kEcPublicKeyOid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};
constexpr std::uint8_t kP256Oid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

bool Equal(Bytes a, Bytes b) { return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin()); }

// Reads definite-length DER elements front to back; every length is checked
// against the data before anything is taken.
class DerReader {
 public:
  DerReader(Bytes data, std::string_view what) : data_(data), what_(what) {}

  bool AtEnd() const { return pos_ == data_.size(); }
  bool Next(std::uint8_t tag) const { return pos_ < data_.size() && data_[pos_] == tag; }

  // The contents of the next element, which must have this tag.
  Bytes Read(std::uint8_t tag, std::string_view field) {
    if (pos_ >= data_.size()) Fail(std::string(field) + " is missing");
    if (data_[pos_] != tag) Fail(std::string(field) + " has the wrong type");
    std::size_t at = pos_ + 1;
    if (at >= data_.size()) Fail(std::string(field) + " is cut short");
    std::size_t length = data_[at++];
    if (length == 0x81 || length == 0x82) {
      const std::size_t bytes = length - 0x80;
      if (data_.size() - at < bytes) Fail(std::string(field) + " is cut short");
      length = 0;
      for (std::size_t i = 0; i < bytes; ++i) length = length << 8 | data_[at++];
      // DER uses the long form only where the short one cannot say it.
      if (length < (bytes == 1 ? 0x80u : 0x100u)) Fail(std::string(field) + " has a length not in DER form");
    } else if (length > 0x80) {
      Fail(std::string(field) + " is too long");
    } else if (length == 0x80) {
      Fail(std::string(field) + " has an indefinite length");
    }
    if (data_.size() - at < length) Fail(std::string(field) + " runs past the end of the data");
    pos_ = at + length;
    return data_.subspan(at, length);
  }

  void End(std::string_view field) {
    if (!AtEnd()) Fail("unexpected bytes after " + std::string(field));
  }

  [[noreturn]] void Fail(const std::string& detail) const { throw Error(std::string(what_) + ": " + detail); }

 private:
  Bytes data_;
  std::string_view what_;
  std::size_t pos_ = 0;
};

std::string Tlv(std::uint8_t tag, std::string_view content) {
  std::string out(1, static_cast<char>(tag));
  if (content.size() < 0x80) {
    out += static_cast<char>(content.size());
  } else if (content.size() < 0x100) {
    out += '\x81';
    out += static_cast<char>(content.size());
  } else {
    out += '\x82';
    out += static_cast<char>(content.size() >> 8);
    out += static_cast<char>(content.size() & 0xFF);
  }
  out += content;
  return out;
}

std::string_view Chars(Bytes b) { return {reinterpret_cast<const char*>(b.data()), b.size()}; }
template <std::size_t N>
std::string_view Chars(const std::uint8_t (&b)[N]) {
  return {reinterpret_cast<const char*>(b), N};
}

std::string AlgorithmIdentifier() {
  return Tlv(kSequence, Tlv(kOid, Chars(kEcPublicKeyOid)) + Tlv(kOid, Chars(kP256Oid)));
}

void ReadAlgorithmIdentifier(DerReader& outer) {
  DerReader r(outer.Read(kSequence, "the algorithm"), "the algorithm");
  if (!Equal(r.Read(kOid, "the algorithm's name"), kEcPublicKeyOid)) outer.Fail("not an EC key");
  if (!r.Next(kOid)) outer.Fail("only a named curve is supported");
  if (!Equal(r.Read(kOid, "the curve"), kP256Oid))
    outer.Fail("the key is not on the curve P-256 (prime256v1)");
  r.End("the curve");
}

// The BIT STRING contents of a public key: no unused bits, 04 || x || y.
std::string PointBits(const P256PublicKey& q) {
  std::string bits("\x00\x04", 2);
  bits += Chars(q.x);
  bits += Chars(q.y);
  return bits;
}

P256PublicKey ReadPoint(const DerReader& r, Bytes bits) {
  if (bits.size() >= 2 && bits[0] == 0 && (bits[1] == 0x02 || bits[1] == 0x03))
    r.Fail("compressed points are not supported");
  if (bits.size() != 66 || bits[0] != 0 || bits[1] != 0x04) r.Fail("the public point is not 04 || x || y");
  P256PublicKey q;
  std::memcpy(q.x.data(), bits.data() + 2, 32);
  std::memcpy(q.y.data(), bits.data() + 34, 32);
  if (!IsOnP256Curve(q)) r.Fail("the public point is not on the curve P-256");
  return q;
}

void ExpectSmallInteger(DerReader& r, std::uint8_t value, std::string_view field) {
  const Bytes v = r.Read(kInteger, field);
  if (v.size() != 1 || v[0] != value) r.Fail(std::string(field) + " is not " + std::to_string(value));
}

std::string EcPrivateKey(const P256PrivateKey& key) {
  return Tlv(kSequence, Tlv(kInteger, std::string(1, '\x01')) + Tlv(kOctetString, Chars(key.d)) +
                            Tlv(kContext1, Tlv(kBitString, PointBits(key.q))));
}

P256PrivateKey ReadEcPrivateKey(Bytes der, std::string_view what) {
  DerReader outer(der, what);
  DerReader r(outer.Read(kSequence, "the EC private key"), what);
  outer.End("the EC private key");
  ExpectSmallInteger(r, 1, "the EC private key's version");
  const Bytes d = r.Read(kOctetString, "the private scalar");
  // SEC 1 writes d in 32 bytes; older writers left out leading zeros.
  if (d.empty() || d.size() > 32) r.Fail("the private scalar is not 1 to 32 bytes");
  P256PrivateKey key;
  std::memcpy(key.d.data() + 32 - d.size(), d.data(), d.size());
  if (!IsP256Scalar(key.d)) r.Fail("the private scalar is out of range");
  if (r.Next(kContext0)) {
    DerReader params(r.Read(kContext0, "the curve"), what);
    if (!params.Next(kOid) || !Equal(params.Read(kOid, "the curve"), kP256Oid))
      r.Fail("the key is not on the curve P-256 (prime256v1)");
    params.End("the curve");
  }
  if (!r.Next(kContext1)) r.Fail("the private key holds no public key");
  DerReader pub(r.Read(kContext1, "the public key"), what);
  key.q = ReadPoint(r, pub.Read(kBitString, "the public key"));
  pub.End("the public key");
  r.End("the public key");
  return key;
}

// A signature number: a positive INTEGER in its shortest form.
P256Number ReadScalar(DerReader& r, std::string_view field) {
  Bytes v = r.Read(kInteger, field);
  if (v.empty()) r.Fail(std::string(field) + " is empty");
  if (v[0] & 0x80) r.Fail(std::string(field) + " is negative");
  if (v[0] == 0 && v.size() > 1) {
    if (!(v[1] & 0x80)) r.Fail(std::string(field) + " is not in its shortest form");
    v = v.subspan(1);
  }
  if (v.size() > 32) r.Fail(std::string(field) + " is too large");
  P256Number n{};
  std::memcpy(n.data() + 32 - v.size(), v.data(), v.size());
  if (!IsP256Scalar(n)) r.Fail(std::string(field) + " is out of range");
  return n;
}

std::string IntegerOf(const P256Number& n) {
  std::size_t first = 0;
  while (first < 31 && n[first] == 0) ++first;
  std::string content;
  if (n[first] & 0x80) content += '\0';
  content.append(reinterpret_cast<const char*>(n.data()) + first, 32 - first);
  return Tlv(kInteger, content);
}

}  // namespace

bool IsOnP256Curve(const P256PublicKey& point) {
  const U256 x = FromBytes(point.x), y = FromBytes(point.y);
  if (!Less(x, kP) || !Less(y, kP)) return false;
  const U256 three_x = AddMod(AddMod(x, x), x);
  const U256 rhs = AddMod(SubMod(MulMod(MulMod(x, x), x), three_x), kB);
  return MulMod(y, y) == rhs;
}

bool IsP256Scalar(const P256Number& v) {
  const U256 n = FromBytes(v);
  return !IsZero(n) && Less(n, kN);
}

std::string EncodeSubjectPublicKeyInfo(const P256PublicKey& key) {
  return Tlv(kSequence, AlgorithmIdentifier() + Tlv(kBitString, PointBits(key)));
}

P256PublicKey DecodeSubjectPublicKeyInfo(Bytes der) {
  constexpr std::string_view what = "public key";
  DerReader outer(der, what);
  DerReader r(outer.Read(kSequence, "the public key"), what);
  outer.End("the public key");
  ReadAlgorithmIdentifier(r);
  const P256PublicKey q = ReadPoint(r, r.Read(kBitString, "the public point"));
  r.End("the public point");
  return q;
}

std::string EncodePrivateKeyInfo(const P256PrivateKey& key) {
  return Tlv(kSequence, Tlv(kInteger, std::string(1, '\0')) + AlgorithmIdentifier() +
                            Tlv(kOctetString, EcPrivateKey(key)));
}

P256PrivateKey DecodePrivateKeyInfo(Bytes der) {
  constexpr std::string_view what = "private key";
  DerReader outer(der, what);
  DerReader r(outer.Read(kSequence, "the private key"), what);
  outer.End("the private key");
  // Version 0 (PKCS #8) or 1 (its successor, which may add the public key
  // after the attributes).
  const Bytes version = r.Read(kInteger, "the version");
  if (version.size() != 1 || version[0] > 1) r.Fail("unknown version");
  ReadAlgorithmIdentifier(r);
  const P256PrivateKey key = ReadEcPrivateKey(r.Read(kOctetString, "the EC private key"), what);
  if (r.Next(kContext0)) r.Read(kContext0, "the attributes");
  if (version[0] == 1 && r.Next(kImplicit1)) r.Read(kImplicit1, "the public key");
  r.End("the EC private key");
  return key;
}

P256PrivateKey DecodeEcPrivateKey(Bytes der) { return ReadEcPrivateKey(der, "EC private key"); }

std::string EncodeEcdsaSignature(const P256Signature& signature) {
  return Tlv(kSequence, IntegerOf(signature.r) + IntegerOf(signature.s));
}

P256Signature DecodeEcdsaSignature(Bytes der) {
  constexpr std::string_view what = "signature";
  DerReader outer(der, what);
  DerReader r(outer.Read(kSequence, "the signature"), what);
  outer.End("the signature");
  P256Signature sig;
  sig.r = ReadScalar(r, "r");
  sig.s = ReadScalar(r, "s");
  r.End("s");
  return sig;
}

std::string EncodePem(std::string_view label, Bytes der) {
  const std::string base64 = EncodeBase64(der);
  std::string out = "-----BEGIN " + std::string(label) + "-----\n";
  for (std::size_t i = 0; i < base64.size(); i += 64) out += base64.substr(i, 64) + "\n";
  return out + "-----END " + std::string(label) + "-----\n";
}

std::optional<std::vector<std::uint8_t>> FindPemBlock(std::string_view text, std::string_view label) {
  const std::string begin = "-----BEGIN " + std::string(label) + "-----";
  const std::string end = "-----END " + std::string(label) + "-----";
  for (std::size_t at = text.find(begin); at != std::string_view::npos; at = text.find(begin, at + 1)) {
    // A marker counts only at the start of a line, with nothing after it.
    if (at != 0 && text[at - 1] != '\n') continue;
    std::size_t body = at + begin.size();
    if (body < text.size() && text[body] == '\r') ++body;
    if (body < text.size() && text[body] != '\n') continue;
    const std::size_t stop = text.find(end, body);
    if (stop == std::string_view::npos) throw Error("the " + std::string(label) + " block has no end line");
    const std::string_view contents = text.substr(body, stop - body);
    if (contents.find(':') != std::string_view::npos)
      throw Error("the " + std::string(label) +
                  " block has header lines (an encrypted key is not supported)");
    auto bytes = DecodeBase64Strict(contents);
    if (!bytes || bytes->empty()) throw Error("the " + std::string(label) + " block's Base64 is damaged");
    return bytes;
  }
  return std::nullopt;
}

}  // namespace lk
