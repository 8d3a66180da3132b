#include "launcher/LMain_pictures.h"

#include "platform/handles.h"
#include "platform/image.h"
#include "platform/ui/picture.h"

namespace lk {

namespace {

// A DIB of the decoded pixels; premultiplied for alpha drawing, as
// AlphaBlend wants it. Null for an empty picture.
UniqueBitmap DibOf(const Picture& picture, bool premultiply) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() != static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height))
    return UniqueBitmap();
  void* bits = nullptr;
  UniqueBitmap dib(ui::CreateDib32(picture.width, picture.height, &bits));
  auto* out = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    std::uint32_t p = picture.pixels[i];
    if (premultiply) {
      const std::uint32_t a = p >> 24;
      const auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
      p = (a << 24) | (mul((p >> 16) & 0xFF) << 16) | (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF);
    }
    out[i] = p;
  }
  return dib;
}

ui::Transparency ModeOf(const TImage& image) {
  return image.Kind == ImageKind::Png ? ui::Transparency::kAlpha : ui::Transparency::kBottomLeftKey;
}

}  // namespace

void SetButtonPictures(ui::ImageButton& button, const ImageRef& normal, const ImageRef& hover) {
  const ImageRef& any = normal ? normal : hover;
  const ui::Transparency mode = any ? ModeOf(*any) : ui::Transparency::kOpaque;
  const bool premultiply = mode == ui::Transparency::kAlpha;
  UniqueBitmap n = normal ? DibOf(normal->Pixels, premultiply) : UniqueBitmap();
  UniqueBitmap h = hover ? DibOf(hover->Pixels, premultiply) : UniqueBitmap();
  button.SetPictures(n.get(), h.get(), mode);
}

void SetResourcePicture(ui::ImageButton& button, const wchar_t* resourceName) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(self, resourceName, MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL data = res ? LoadResource(self, res) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) {
    button.SetPicture(nullptr, ui::Transparency::kOpaque);
    return;
  }
  const std::optional<Picture> picture =
      PngFromBytes(Bytes(static_cast<const std::uint8_t*>(bytes), SizeofResource(self, res)));
  UniqueBitmap dib = picture ? DibOf(*picture, true) : UniqueBitmap();
  button.SetPicture(dib.get(), ui::Transparency::kAlpha);
}

}  // namespace lk
