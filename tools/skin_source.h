#pragma once
// The skin source: a folder holding skin.txt and the images it names. The
// operator edits it; `launcher-kit pack` reads it, `launcher-kit inspect
// --extract` writes it back from a package.
//
// skin.txt is UTF-8, one "Key = value" per line, '#' starts a comment line.
// Keys are the skin record's field names; a key left out keeps its empty
// value (switch off, position 0,0, no image, empty text). Values:
//   switch          0 or 1
//   ServerListType  0 to 255 (0 drop-down list, 1 tree)
//   position, size  x,y (32-bit integers; sizes not negative)
//   text            the rest of the line, at most 255 bytes in code page 936
//   image           a file name in the folder (PNG for the PNG slots, BMP
//                   for the others), or nothing for no image
//   font            family name, size in points (e.g. "微软雅黑, 9.5")
//   colour          #RRGGBB, a system colour name (COLOR_WINDOWTEXT, ...),
//                   or 0x and eight hex digits for any other 32-bit value
// Item 30 of the block is one position: ControlServerListPoint when
// ServerListType is 1, ControlServerList1Point otherwise; giving the other
// one a value is an error.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/logininfo.h"
#include "core/skin_items.h"

namespace lk::kit {

inline constexpr const char* kSkinSourceFile = "skin.txt";

// Throws Error naming the file and line of the fault.
TGraphicInfo ReadSkinSource(const std::string& folder);

// The skin.txt text for `skin`; image_value gives the value written for an
// image (a file name, or a description for display).
std::string SkinSourceText(const TGraphicInfo& skin,
                           const std::function<std::string(const SkinItem&, const TImage&)>& image_value);

// Writes skin.txt and one image file per image (named after its field) into
// `folder`, which must exist.
void WriteSkinSource(const TGraphicInfo& skin, const std::string& folder);

std::string ColourText(TColor colour);
// nullopt when the text is none of the colour forms.
std::optional<TColor> ParseColour(std::string_view text);

}  // namespace lk::kit
