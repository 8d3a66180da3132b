#pragma once
// Decoded images as plain pixel arrays, so that the portable core can carry
// them and the window code can make GDI bitmaps of them. The decoding itself
// is WIC on Windows; the host has no pixel decoder (launcher-kit only needs
// the header facts, see core/skin_image.h).
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace lk {

// Pixels are 0xAARRGGBB values (BGRA bytes in memory, as GDI's 32-bit DIBs),
// straight (not premultiplied) alpha, top row first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // empty when only the header was read
  // Drawn with its own transparency (the alpha channel of a PNG); bitmaps
  // are made see-through by the window's magenta colour key instead.
  bool transparent = false;

  bool operator==(const Picture&) const = default;
};

inline constexpr std::uint32_t kMagentaPixel = 0xFFFF00FFu;

// The see-through rule for bitmap images: every pixel that is exactly black
// (red 0, green 0, blue 0, whatever its alpha byte) becomes opaque magenta,
// visiting rows from the top and each row from left to right; every other
// pixel stays as it is.
void BlackToMagenta(Picture& picture);

#ifdef _WIN32
// No image for zero bytes. Otherwise the decoded PNG with its alpha channel
// kept and `transparent` set; a damaged file throws Error with the decoder's
// own error text.
std::optional<Picture> PngFromBytes(Bytes bytes);
// No image for zero bytes. Otherwise the decoded BMP file after
// BlackToMagenta, fully opaque; a damaged file throws Error with the
// decoder's error text.
std::optional<Picture> BitmapFromBytes(Bytes bytes);
#endif

}  // namespace lk
