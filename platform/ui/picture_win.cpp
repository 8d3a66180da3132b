#include "platform/ui/picture.h"

#include <cstdint>
#include <string>

#include "platform/error.h"
#include "platform/handles.h"

namespace lk::ui {

HBITMAP CreateDib32(int width, int height, void** bits) {
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;  // top-down: row 0 is the top row
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* dummy = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, bits ? bits : &dummy, nullptr, 0);
  if (!bitmap) ThrowLastError("CreateDIBSection");
  return bitmap;
}

Picture Picture::CopyOf(HBITMAP source, Transparency mode) {
  Picture picture;
  if (!source) return picture;
  BITMAP info{};
  if (!GetObjectW(source, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight == 0)
    throw Error("GetObjectW: not a bitmap");
  const int width = info.bmWidth;
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  void* bits = nullptr;
  UniqueBitmap copy(CreateDib32(width, height, &bits));

  // GetDIBits converts whatever the source holds into 32-bit rows; from a
  // 32-bit source the fourth byte (alpha) comes along unchanged.
  BITMAPINFO want{};
  want.bmiHeader.biSize = sizeof want.bmiHeader;
  want.bmiHeader.biWidth = width;
  want.bmiHeader.biHeight = -height;
  want.bmiHeader.biPlanes = 1;
  want.bmiHeader.biBitCount = 32;
  want.bmiHeader.biCompression = BI_RGB;
  const int rows =
      GetDIBits(WindowDc(nullptr).get(), source, 0, static_cast<UINT>(height), bits, &want, DIB_RGB_COLORS);
  if (rows != height) ThrowLastError("GetDIBits");
  GdiFlush();

  const auto* px = static_cast<const std::uint8_t*>(bits) + static_cast<size_t>(height - 1) * width * 4;
  picture.key_ = RGB(px[2], px[1], px[0]);
  picture.bitmap_ = std::move(copy);
  picture.width_ = width;
  picture.height_ = height;
  picture.mode_ = mode;
  return picture;
}

void Picture::Draw(HDC dc, int x, int y) const {
  if (!bitmap_) return;
  const UniqueDc mem(CreateCompatibleDC(dc));
  if (!mem) return;
  SelectionGuard select(mem.get(), bitmap_.get());
  switch (mode_) {
    case Transparency::kOpaque:
      BitBlt(dc, x, y, width_, height_, mem.get(), 0, 0, SRCCOPY);
      break;
    case Transparency::kAlpha: {
      BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      AlphaBlend(dc, x, y, width_, height_, mem.get(), 0, 0, width_, height_, blend);
      break;
    }
    case Transparency::kBottomLeftKey:
      TransparentBlt(dc, x, y, width_, height_, mem.get(), 0, 0, width_, height_, key_);
      break;
  }
}

}  // namespace lk::ui
