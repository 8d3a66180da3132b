#pragma once
// Small image files made in the tests: real PNG files (zlib, one IDAT) and
// uncompressed BMP files, so decoders are fed what an operator would pack.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lk::test {

inline void PutBe32(std::string& out, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void PutLe32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void PutLe16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

inline void PngChunk(std::string& out, const char* type, const std::string& data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  PutBe32(out, static_cast<std::uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// RGBA pixels as 0xAARRGGBB, top row first.
inline std::string MakePng(int w, int h, const std::vector<std::uint32_t>& argb) {
  std::string out("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr;
  PutBe32(ihdr, static_cast<std::uint32_t>(w));
  PutBe32(ihdr, static_cast<std::uint32_t>(h));
  ihdr += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA
  PngChunk(out, "IHDR", ihdr);
  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw += '\0';  // no filter
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = argb[static_cast<std::size_t>(y * w + x)];
      raw += static_cast<char>((p >> 16) & 0xFF);
      raw += static_cast<char>((p >> 8) & 0xFF);
      raw += static_cast<char>(p & 0xFF);
      raw += static_cast<char>(p >> 24);
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string z(size, '\0');
  compress(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  z.resize(size);
  PngChunk(out, "IDAT", z);
  PngChunk(out, "IEND", "");
  return out;
}

// A 24-bit bottom-up BMP; pixels 0x00RRGGBB, top row first.
inline std::string MakeBmp(int w, int h, const std::vector<std::uint32_t>& rgb) {
  const int stride = (w * 3 + 3) & ~3;
  std::string out = "BM";
  PutLe32(out, static_cast<std::uint32_t>(54 + stride * h));
  PutLe32(out, 0);
  PutLe32(out, 54);
  PutLe32(out, 40);
  PutLe32(out, static_cast<std::uint32_t>(w));
  PutLe32(out, static_cast<std::uint32_t>(h));
  PutLe16(out, 1);
  PutLe16(out, 24);
  for (int i = 0; i < 6; ++i) PutLe32(out, 0);
  for (int y = h - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = rgb[static_cast<std::size_t>(y * w + x)];
      row += static_cast<char>(p & 0xFF);
      row += static_cast<char>((p >> 8) & 0xFF);
      row += static_cast<char>((p >> 16) & 0xFF);
    }
    row.resize(static_cast<std::size_t>(stride), '\0');
    out += row;
  }
  return out;
}

inline std::string SolidPng(int w, int h, std::uint32_t argb) {
  return MakePng(w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), argb));
}
inline std::string SolidBmp(int w, int h, std::uint32_t rgb) {
  return MakeBmp(w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), rgb));
}

}  // namespace lk::test
