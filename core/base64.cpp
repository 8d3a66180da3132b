#include "core/base64.h"

#include <array>

namespace lk {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> MakeReverse() {
  std::array<std::int8_t, 256> r{};
  for (auto& v : r) v = -1;
  for (int i = 0; i < 64; ++i) r[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return r;
}
constexpr auto kReverse = MakeReverse();

}  // namespace

std::vector<std::uint8_t> DecodeBase64Lenient(std::string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size() * 3 / 4);
  std::uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    const int v = kReverse[static_cast<unsigned char>(c)];
    if (v < 0) continue;
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>((acc >> bits) & 0xFF));
    }
  }
  return out;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64Strict(std::string_view text) {
  std::string chars;
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') chars += c;
  if (chars.size() % 4 != 0) return std::nullopt;
  std::vector<std::uint8_t> out;
  out.reserve(chars.size() / 4 * 3);
  for (std::size_t i = 0; i < chars.size(); i += 4) {
    const bool last = i + 4 == chars.size();
    const int pad = last ? (chars[i + 3] == '=') + (chars[i + 2] == '=' && chars[i + 3] == '=') : 0;
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      const int d = k < 4 - pad ? kReverse[static_cast<unsigned char>(chars[i + k])] : 0;
      if (d < 0) return std::nullopt;
      v = (v << 6) | static_cast<std::uint32_t>(d);
    }
    // Bits that a padded group does not use must be zero.
    if ((pad == 1 && (v & 0xFF)) || (pad == 2 && (v & 0xFFFF))) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    if (pad < 2) out.push_back(static_cast<std::uint8_t>(v >> 8));
    if (pad < 1) out.push_back(static_cast<std::uint8_t>(v));
  }
  return out;
}

std::string EncodeBase64(Bytes data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    const std::uint32_t v = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (const std::size_t rest = data.size() - i; rest > 0) {
    const std::uint32_t v = (data[i] << 16) | (rest == 2 ? data[i + 1] << 8 : 0);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace lk
