// Key files, signature files and the package's key block are outside bytes:
// every decoder ends in a value or one of our errors, never a read outside
// the data. What decodes is canonical: encoding it again gives the same
// bytes (one DER form per key and signature), and a verification of any
// bytes as a signature ends in true or false.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/base64.h"
#include "core/p256.h"
#include "core/package.h"
#include "core/signing.h"
#include "platform/error.h"

namespace {

bool Same(const std::string& encoded, lk::Bytes input) {
  return encoded.size() == input.size() &&
         std::equal(encoded.begin(), encoded.end(), input.begin(),
                    [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
}

// The key of RFC 6979 A.2.5.
lk::PublicKey TestKey() {
  lk::P256PublicKey q;
  const char* x = "60FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6";
  const char* y = "7903FE1008B8BC99A41AE9E95628BC64F2F1B20C2D7E9F5177A3C294D4462299";
  for (int i = 0; i < 32; ++i) {
    q.x[i] = static_cast<std::uint8_t>(std::stoi(std::string(x + 2 * i, 2), nullptr, 16));
    q.y[i] = static_cast<std::uint8_t>(std::stoi(std::string(y + 2 * i, 2), nullptr, 16));
  }
  return lk::PublicKey(q);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly `size` bytes, so ASan sees any read past the end.
  const std::vector<std::uint8_t> bytes(data, data + size);
  const lk::Bytes input(bytes.data(), bytes.size());
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());

  try {
    const lk::P256PublicKey q = lk::DecodeSubjectPublicKeyInfo(input);
    if (!lk::IsOnP256Curve(q) || !Same(lk::EncodeSubjectPublicKeyInfo(q), input)) std::abort();
  } catch (const lk::Error&) {
  }
  try {
    const lk::P256Signature sig = lk::DecodeEcdsaSignature(input);
    if (!lk::IsP256Scalar(sig.r) || !lk::IsP256Scalar(sig.s) || !Same(lk::EncodeEcdsaSignature(sig), input))
      std::abort();
  } catch (const lk::Error&) {
  }
  for (auto decode : {&lk::DecodePrivateKeyInfo, &lk::DecodeEcPrivateKey}) {
    try {
      const lk::P256PrivateKey key = decode(input);
      if (!lk::IsP256Scalar(key.d) || !lk::IsOnP256Curve(key.q)) std::abort();
    } catch (const lk::Error&) {
    }
  }
  try {
    lk::ReadPublicKeyFile(text);
  } catch (const lk::Error&) {
  }
  try {
    lk::ReadPrivateKeyFile(text);
  } catch (const lk::Error&) {
  }
  if (const auto decoded = lk::DecodeBase64Strict(text)) {
    // One text per byte string: the text without blanks is the encoding.
    std::string compact;
    for (char c : text)
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') compact += c;
    if (lk::EncodeBase64(lk::Bytes(decoded->data(), decoded->size())) != compact) std::abort();
  }

  static const lk::PublicKey key = TestKey();
  const bool valid = lk::VerifyDetachedSignature(key, lk::AsBytes("sample"), input);
  (void)valid;

  // The same bytes as a launcher file: a key is either there or reported.
  lk::TUpdateKey update_key;
  const std::string message = lk::DecodeUpdateKey(input, update_key);
  if ((update_key.Key && !update_key.Present) || (update_key.Key && !message.empty())) std::abort();
  return 0;
}
