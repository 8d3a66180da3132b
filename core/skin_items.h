#pragma once
// The 60 items of a skin block in block order, with the record field each
// one fills. The decoder, the writer and launcher-kit's skin source all walk
// this one table, so they cannot disagree about the order.
#include <span>
#include <variant>

#include "core/logininfo.h"

namespace lk {

enum class SkinItemKind {
  Switch,              // 1 byte, 0 off, anything else on
  Byte,                // 1 byte, unsigned
  Size,                // cx, cy: 32-bit signed each
  ShortText,           // 1 byte n, n bytes of code page 936
  PngImage,            // 32-bit signed n, n bytes of a PNG file
  BmpImage,            // 32-bit signed n, n bytes of a BMP file
  Font,                // 32-bit signed n, n bytes of font description
  Colour,              // 4 bytes
  ServerListPosition,  // a TSize filed by ServerListType (item 30)
};

using SkinMember = std::variant<bool TGraphicInfo::*, std::uint8_t TGraphicInfo::*, TSize TGraphicInfo::*,
                                std::string TGraphicInfo::*, ImageRef TGraphicInfo::*,
                                TFontInfo TGraphicInfo::*, TColor TGraphicInfo::*>;

struct SkinItem {
  int number;  // 1..60, the position in the block
  SkinItemKind kind;
  const char* field;  // the record field; item 30 names the tree position
  SkinMember member;  // item 30: ControlServerListPoint
};

std::span<const SkinItem> SkinItems();

// Where item 30 goes: the tree position for list type 1, the drop-down
// position for every other value.
inline TSize TGraphicInfo::*ServerListPositionField(std::uint8_t server_list_type) {
  return server_list_type == 1 ? &TGraphicInfo::ControlServerListPoint
                               : &TGraphicInfo::ControlServerList1Point;
}

}  // namespace lk

namespace lk {

// Field by field, images by kind, file bytes and pixels (not by pointer).
bool SameSkin(const TGraphicInfo& a, const TGraphicInfo& b);

}  // namespace lk
