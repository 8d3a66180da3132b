// Decoders of the brand block and the skin block. Every read goes through
// ByteReader, which refuses to read past the block: package bytes come
// from a file anyone can edit.
#include "core/logininfo.h"

#include <bit>
#include <cstring>
#include <string>

#include "core/byte_reader.h"
#include "core/skin_items.h"
#include "platform/error.h"

namespace lk {
namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

Picture PngHeader(Bytes b) {
  // Signature, then the IHDR chunk: length 13, type, width, height, ...
  if (b.size() < 8 || std::memcmp(b.data(), kPngSignature, 8) != 0)
    throw Error("PNG 图像损坏: 缺少 PNG 文件签名");
  if (b.size() < 8 + 8 + 13 + 4 || BigEndian32(b.data() + 8) != 13 ||
      std::memcmp(b.data() + 12, "IHDR", 4) != 0)
    throw Error("PNG 图像损坏: 缺少 IHDR 块");
  const std::uint32_t w = BigEndian32(b.data() + 16), h = BigEndian32(b.data() + 20);
  if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) throw Error("PNG 图像损坏: 宽度或高度无效");
  Picture p;
  p.width = static_cast<int>(w);
  p.height = static_cast<int>(h);
  p.transparent = true;
  return p;
}

Picture BmpHeader(Bytes b) {
  ByteReader r(b, "BMP 图像");
  if (b.size() < 2 || b[0] != 'B' || b[1] != 'M') throw Error("BMP 图像损坏: 缺少 \"BM\" 文件签名");
  r.Skip(14, "文件头");
  const std::uint32_t header = r.U32("信息头长度");
  std::int64_t w = 0, h = 0;
  if (header == 12) {  // BITMAPCOREHEADER
    w = r.U16("宽度");
    h = r.U16("高度");
  } else if (header >= 40) {
    w = r.I32("宽度");
    h = r.I32("高度");
  } else {
    throw Error("BMP 图像损坏: 信息头长度 " + std::to_string(header) + " 无效");
  }
  if (h < 0) h = -h;  // a top-down bitmap
  if (w <= 0 || h == 0 || h > 0x7FFFFFFF) throw Error("BMP 图像损坏: 宽度或高度无效");
  Picture p;
  p.width = static_cast<int>(w);
  p.height = static_cast<int>(h);
  return p;
}

// The field as the messages name it: "第 12 项 ControCustomerHub1Image".
std::string ItemName(const SkinItem& item) {
  return "第 " + std::to_string(item.number) + " 项 " + item.field;
}

ImageRef ReadImage(ByteReader& r, const SkinItem& item, ImageKind kind, const ImageDecoder& images) {
  const std::string name = ItemName(item);
  const Bytes bytes = r.LengthPrefixed32(name);
  if (bytes.empty()) return nullptr;
  auto image = std::make_shared<TImage>();
  image->Kind = kind;
  image->Source.assign(bytes.begin(), bytes.end());
  image->Pixels = images.Decode(kind, bytes);
  return image;
}

}  // namespace

Picture HeaderImageDecoder::Decode(ImageKind kind, Bytes bytes) const {
  return kind == ImageKind::Png ? PngHeader(bytes) : BmpHeader(bytes);
}

void DecodeBrandBlock(Bytes block, TLoginInfo& info) {
  ByteReader r(block, "品牌数据");
  info.IsDh = r.U8("IsDh");
  const Bytes key = r.Take(info.Key.size(), "Key");
  std::memcpy(info.Key.data(), key.data(), key.size());
  const Bytes iv = r.Take(info.Iv.size(), "Iv");
  std::memcpy(info.Iv.data(), iv.data(), iv.size());
  info.BrandName = GbkToUtf8(r.LengthPrefixed8("BrandName"));
  info.BrandAuthorization = GbkToUtf8(r.LengthPrefixed8("BrandAuthorization"));
  // The icon data that follows is not read.
}

void DecodeUpdateKeyBlock(Bytes block, TUpdateKey& key) {
  key.Present = true;
  key.Key.reset();
  try {
    key.Key = PublicKeyFromDer(block);
  } catch (const Error& e) {
    throw Error(std::string("启动器数据损坏: 更新公钥无效: ") + e.what());
  }
}

void ReadFontInfo(Bytes bytes, TFontInfo& font) {
  ByteReader r(bytes, "字体描述");
  const Bytes name = r.LengthPrefixed32("FamilyName");
  std::u16string utf16(name.size() / 2, u'\0');
  for (std::size_t i = 0; i < utf16.size(); ++i)
    utf16[i] = static_cast<char16_t>(name[2 * i] | name[2 * i + 1] << 8);
  font.FamilyName = Utf16ToUtf8(utf16);
  font.Size = std::bit_cast<float>(r.U32("Size"));
}

void DecodeSkinBlock(Bytes block, TGraphicInfo& info, const ImageDecoder& images) {
  ByteReader r(block, "皮肤数据");
  for (const SkinItem& item : SkinItems()) {
    const std::string name = ItemName(item);
    switch (item.kind) {
      case SkinItemKind::Switch:
        info.*std::get<bool TGraphicInfo::*>(item.member) = r.U8(name) != 0;
        break;
      case SkinItemKind::Byte:
        info.*std::get<std::uint8_t TGraphicInfo::*>(item.member) = r.U8(name);
        break;
      case SkinItemKind::Size:
      case SkinItemKind::ServerListPosition: {
        TSize s;
        s.cx = r.I32(name);
        s.cy = r.I32(name);
        const auto field = item.kind == SkinItemKind::Size ? std::get<TSize TGraphicInfo::*>(item.member)
                                                           : ServerListPositionField(info.ServerListType);
        info.*field = s;
        break;
      }
      case SkinItemKind::ShortText:
        info.*std::get<std::string TGraphicInfo::*>(item.member) = GbkToUtf8(r.LengthPrefixed8(name));
        break;
      case SkinItemKind::PngImage:
      case SkinItemKind::BmpImage:
        info.*std::get<ImageRef TGraphicInfo::*>(item.member) = ReadImage(
            r, item, item.kind == SkinItemKind::PngImage ? ImageKind::Png : ImageKind::Bitmap, images);
        break;
      case SkinItemKind::Font: {
        TFontInfo font;
        ReadFontInfo(r.LengthPrefixed32(name), font);
        info.*std::get<TFontInfo TGraphicInfo::*>(item.member) = font;
        break;
      }
      case SkinItemKind::Colour:
        info.*std::get<TColor TGraphicInfo::*>(item.member) = r.U32(name);
        break;
    }
  }
  // Bytes after item 60 are not read.
}

}  // namespace lk
