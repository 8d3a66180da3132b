#include "launcher/LMain_pictures.h"

#include <map>
#include <mutex>
#include <string>

#include "platform/handles.h"
#include "platform/image.h"
#include "platform/ui/picture.h"

namespace lk {

namespace {

// A DIB of the decoded pixels; premultiplied for alpha drawing, as
// AlphaBlend wants it. Null for an empty picture.
UniqueGdiObject DibOf(const Picture& picture, bool premultiply) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() != static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height))
    return UniqueGdiObject();
  void* bits = nullptr;
  UniqueGdiObject dib(ui::CreateDib32(picture.width, picture.height, &bits));
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
  UniqueGdiObject n = normal ? DibOf(normal->Pixels, premultiply) : UniqueGdiObject();
  UniqueGdiObject h = hover ? DibOf(hover->Pixels, premultiply) : UniqueGdiObject();
  button.SetPictures(static_cast<HBITMAP>(n.get()), static_cast<HBITMAP>(h.get()), mode);
}

namespace {

// The status dots, decoded once for the whole run (a click used to decode
// one again every time the dot changed).
struct ResourcePictures {
  std::once_flag loaded;
  std::map<std::wstring, UniqueGdiObject> dibs;  // empty entry: no such resource
};

ResourcePictures& Loaded() {
  static ResourcePictures pictures;
  return pictures;
}

UniqueGdiObject DecodeResource(const wchar_t* resourceName) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(self, resourceName, MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL data = res ? LoadResource(self, res) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) return UniqueGdiObject();
  const std::optional<Picture> picture =
      PngFromBytes(Bytes(static_cast<const std::uint8_t*>(bytes), SizeofResource(self, res)));
  return picture ? DibOf(*picture, true) : UniqueGdiObject();
}

}  // namespace

void LoadResourcePictures() {
  ResourcePictures& pictures = Loaded();
  std::call_once(pictures.loaded, [&pictures] {
    // COM for WIC on whichever thread comes first; balanced here.
    ComInit com(ComInit::kMultiThreaded);
    for (const wchar_t* name : {kGreyDot, kGreenDot}) pictures.dibs[name] = DecodeResource(name);
  });
}

void SetResourcePicture(ui::ImageButton& button, const wchar_t* resourceName) {
  LoadResourcePictures();
  const auto& dibs = Loaded().dibs;
  const auto found = dibs.find(resourceName);
  if (found == dibs.end() || !found->second) {
    button.SetPicture(nullptr, ui::Transparency::kOpaque);
    return;
  }
  button.SetPicture(static_cast<HBITMAP>(found->second.get()), ui::Transparency::kAlpha);
}

}  // namespace lk
