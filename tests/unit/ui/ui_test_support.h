#pragma once
// Helpers for the toolkit tests: message pumping, bitmaps made in code and
// window captures read pixel by pixel.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <vector>

#include "platform/ui/picture.h"

namespace lk::ui::test {

// Runs every queued message, then again until the queue stays empty for
// settleMs (Wine delivers some paints and X events with a delay).
inline void Pump(DWORD settleMs = 30) {
  DWORD quietSince = GetTickCount();
  for (;;) {
    MSG msg;
    bool any = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      any = true;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (any) quietSince = GetTickCount();
    if (GetTickCount() - quietSince >= settleMs) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

// Pumps until cond() holds or timeoutMs passes; returns cond().
inline bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs = 2000) {
  const DWORD start = GetTickCount();
  while (!cond()) {
    if (GetTickCount() - start > timeoutMs) return cond();
    Pump(5);
  }
  return true;
}

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "rgb(" << c.r << "," << c.g << "," << c.b << ")";
  }
};

inline bool Near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

// A captured image, BGRA rows top-down.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> px;
  Rgb At(int x, int y) const {
    const std::uint32_t v = px[static_cast<size_t>(y) * width + x];
    return Rgb{static_cast<int>((v >> 16) & 0xff), static_cast<int>((v >> 8) & 0xff),
               static_cast<int>(v & 0xff)};
  }
  // How many pixels inside r are within tolerance of c.
  int Count(const RECT& r, Rgb c, int tolerance = 0) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (x >= 0 && y >= 0 && x < width && y < height && Near(At(x, y), c, tolerance)) ++n;
    return n;
  }
};

// Copies w x h pixels at (x, y) of dc into an Image.
inline Image CaptureDc(HDC dc, int x, int y, int w, int h) {
  Image img;
  img.width = w;
  img.height = h;
  img.px.resize(static_cast<size_t>(w) * h);
  void* bits = nullptr;
  const UniqueBitmap bmp(CreateDib32(w, h, &bits));
  const UniqueDc mem(CreateCompatibleDC(dc));
  SelectionGuard select(mem.get(), bmp.get());
  BitBlt(mem.get(), 0, 0, w, h, dc, x, y, SRCCOPY);
  GdiFlush();
  std::memcpy(img.px.data(), bits, img.px.size() * 4);
  return img;
}

// What the window shows: its client area as painted, children included
// (a top-level window's surface holds its children's pixels).
inline Image CaptureClient(HWND hwnd) {
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump();
  RECT r{};
  GetClientRect(hwnd, &r);
  return CaptureDc(WindowDc(hwnd).get(), 0, 0, r.right, r.bottom);
}

// What the screen shows in a rectangle of screen coordinates.
inline Image CaptureScreen(const RECT& r) {
  return CaptureDc(WindowDc(nullptr).get(), r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// A 32-bit top-down DIB section filled by pixel(x, y) -> 0xAARRGGBB.
inline HBITMAP MakeBitmap(int w, int h, const std::function<std::uint32_t(int, int)>& pixel) {
  void* bits = nullptr;
  HBITMAP bmp = CreateDib32(w, h, &bits);
  auto* p = static_cast<std::uint32_t*>(bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p[static_cast<size_t>(y) * w + x] = pixel(x, y);
  GdiFlush();
  return bmp;
}

inline std::uint32_t Opaque(int r, int g, int b) {
  return 0xff000000u | (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) |
         static_cast<std::uint32_t>(b);
}

// Owns a bitmap made by MakeBitmap for the length of a test.
using Bitmap = UniqueBitmap;

}  // namespace lk::ui::test
