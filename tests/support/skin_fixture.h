#pragma once
// A skin record with every field set to a value of its own, so a decoder
// that swaps, skips or repeats a field shows up in a comparison.
#include <memory>
#include <string>

#include "core/logininfo.h"
#include "core/skin_items.h"
#include "tests/support/image_files.h"

namespace lk::test {

inline ImageRef ImageOf(ImageKind kind, const std::string& bytes, const ImageDecoder& decoder) {
  auto image = std::make_shared<TImage>();
  image->Kind = kind;
  image->Source.assign(bytes.begin(), bytes.end());
  image->Pixels = decoder.Decode(kind, AsBytes(bytes));
  return image;
}

// Item k gets values derived from k: switches alternate, positions are
// (k, -k * 10), images are k pixels wide.
inline TGraphicInfo FullSkin(std::uint8_t server_list_type = 1) {
  HeaderImageDecoder decoder;
  TGraphicInfo g;
  for (const SkinItem& item : SkinItems()) {
    const int k = item.number;
    switch (item.kind) {
      case SkinItemKind::Switch:
        g.*std::get<bool TGraphicInfo::*>(item.member) = k % 2 == 1;
        break;
      case SkinItemKind::Byte:
        g.*std::get<std::uint8_t TGraphicInfo::*>(item.member) = server_list_type;
        break;
      case SkinItemKind::Size:
        g.*std::get<TSize TGraphicInfo::*>(item.member) = {k, -k * 10};
        break;
      case SkinItemKind::ServerListPosition:
        g.*ServerListPositionField(server_list_type) = {k, -k * 10};
        break;
      case SkinItemKind::ShortText:
        g.*std::get<std::string TGraphicInfo::*>(item.member) = "演示皮肤 " + std::to_string(k);
        break;
      case SkinItemKind::PngImage:
        g.*std::get<ImageRef TGraphicInfo::*>(item.member) =
            ImageOf(ImageKind::Png, SolidPng(k, 2, 0x80FF0000u), decoder);
        break;
      case SkinItemKind::BmpImage:
        g.*std::get<ImageRef TGraphicInfo::*>(item.member) =
            ImageOf(ImageKind::Bitmap, SolidBmp(k, 3, 0x00336699u), decoder);
        break;
      case SkinItemKind::Font:
        g.ControltitletxtFont = {"微软雅黑", 9.5f, 0};
        break;
      case SkinItemKind::Colour:
        g.ControltitletxtColor = RgbColour(0x12, 0x34, 0x56);
        break;
    }
  }
  return g;
}

inline TLoginInfo FullBrand() {
  TLoginInfo info;
  info.IsDh = 7;
  for (std::size_t i = 0; i < info.Key.size(); ++i) info.Key[i] = static_cast<std::uint8_t>(i + 1);
  for (std::size_t i = 0; i < info.Iv.size(); ++i) info.Iv[i] = static_cast<std::uint8_t>(0xF0 + i);
  info.BrandName = "热血传奇";
  info.BrandAuthorization = "token-甲乙-123";
  return info;
}

}  // namespace lk::test
