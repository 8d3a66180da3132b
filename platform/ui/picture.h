#pragma once
// A picture shown by the toolkit: an owned 32-bit top-down DIB section copied
// from the caller's bitmap, drawn in one of three ways. The skin keeps its
// own images for the whole run; controls show copies of them.
#include <windows.h>

#include "platform/handles.h"

namespace lk::ui {

enum class Transparency {
  // Drawn as it is.
  kOpaque,
  // Per-pixel alpha, premultiplied (WIC's 32bppPBGRA), drawn with AlphaBlend.
  kAlpha,
  // Every pixel of the bottom-left pixel's colour is left out (TransparentBlt).
  kBottomLeftKey,
};

class Picture {
 public:
  Picture() = default;
  // Copies any bitmap (DIB section or device-dependent). A null source gives
  // an empty picture. Throws lk::Error when the copy cannot be made.
  static Picture CopyOf(HBITMAP source, Transparency mode);

  bool Empty() const { return !bitmap_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  Transparency Mode() const { return mode_; }
  // The colour left out in kBottomLeftKey mode (as read at copy time).
  COLORREF KeyColor() const { return key_; }
  HBITMAP Bitmap() const { return bitmap_.get(); }

  // Draws at (x, y) at the picture's own size; nothing for an empty picture.
  void Draw(HDC dc, int x, int y) const;

 private:
  UniqueBitmap bitmap_;
  int width_ = 0;
  int height_ = 0;
  Transparency mode_ = Transparency::kOpaque;
  COLORREF key_ = 0;
};

// A 32-bit top-down DIB section of the given size; *bits receives the pixel
// memory (BGRA, rows of width * 4 bytes). Throws lk::Error on failure.
HBITMAP CreateDib32(int width, int height, void** bits);

}  // namespace lk::ui
