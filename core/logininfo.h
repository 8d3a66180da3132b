#pragma once
// The plain records of the launcher: brand, skin and zone, and the decoders
// of the two package blocks. Block parsing is portable; images are handed
// to an ImageDecoder so that the parser builds and is fuzzed on the host.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/signing.h"
#include "platform/image.h"
#include "platform/text.h"

namespace lk {

// A position (cx = left, cy = top) or a size (cx = width, cy = height) in
// device pixels.
struct TSize {
  std::int32_t cx = 0;
  std::int32_t cy = 0;
  bool operator==(const TSize&) const = default;
};

enum TFontStyle : std::uint8_t {
  fsBold = 1,
  fsItalic = 2,
  fsUnderline = 4,
  fsStrikeOut = 8,
};

struct TFontInfo {
  std::string FamilyName;
  float Size = 0;
  std::uint8_t Style = 0;  // a set of TFontStyle bits
  bool operator==(const TFontInfo&) const = default;
};

// High byte 0: red in the lowest byte, then green, then blue. High byte
// 0xFF: a system colour whose index is the lowest byte.
using TColor = std::uint32_t;
inline constexpr TColor kSystemColourFlag = 0xFF000000u;
inline bool IsSystemColour(TColor c) { return (c >> 24) == 0xFF; }
inline TColor RgbColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<TColor>(r) | static_cast<TColor>(g) << 8 | static_cast<TColor>(b) << 16;
}

enum class ImageKind : std::uint8_t { Png, Bitmap };

// One skin image: the file bytes as the skin block holds them (what
// launcher-kit writes back) and the decoded pixels.
struct TImage {
  ImageKind Kind = ImageKind::Png;
  std::vector<std::uint8_t> Source;
  Picture Pixels;
  bool operator==(const TImage&) const = default;
};
using ImageRef = std::shared_ptr<const TImage>;

// Turns the bytes of one image (never empty) into pixels, or throws Error
// with the decoder's text. The launcher decodes with WIC; launcher-kit and
// the host tests use HeaderImageDecoder.
class ImageDecoder {
 public:
  virtual ~ImageDecoder() = default;
  virtual Picture Decode(ImageKind kind, Bytes bytes) const = 0;
};

// Checks the file signature and reads width and height from the header,
// without pixels: enough for launcher-kit and for fuzzing the parser.
class HeaderImageDecoder final : public ImageDecoder {
 public:
  Picture Decode(ImageKind kind, Bytes bytes) const override;
};

// The brand record.
struct TLoginInfo {
  std::uint8_t IsDh = 0;
  std::string BrandName;
  std::string BrandAuthorization;  // the launch token handed to the game client
  ImageRef IcoImage;               // never filled: the icon data is not read
  std::array<std::uint8_t, 32> Key{};
  std::array<std::uint8_t, 16> Iv{};
  bool operator==(const TLoginInfo&) const = default;
};

// The public key of signed updates, from the package's key block.
struct TUpdateKey {
  bool Present = false;          // the package says it carries a key
  std::optional<PublicKey> Key;  // empty when there is none or its block is damaged
};

// The skin record, fields in record order (the block order differs).
struct TGraphicInfo {
  std::string SkinName;
  bool BrandNameSwitch = false;
  TSize ControlbackSizet;
  ImageRef ControlbackImage;
  TSize ControlLoingPoint;
  TSize ControlLoingSizet;
  ImageRef ControLoing1Image;
  ImageRef ControLoing2Image;
  bool ControlCustomerHubSwitch = false;
  TSize ControlCustomerHubPoint;
  TSize ControlCustomerHubSizet;
  ImageRef ControCustomerHub1Image;
  ImageRef ControCustomerHub2Image;
  bool ControlwebsiteSwitch = false;
  TSize ControlwebsitePoint;
  TSize ControlwebsiteSizet;
  ImageRef Controlwebsite1Image;
  ImageRef Controlwebsite2Image;
  bool ControlPlayerToolsSwitch = false;
  TSize ControlPlayerToolsPoint;
  TSize ControlPlayerToolsSizet;
  ImageRef ControlPlayerTools1Image;
  ImageRef ControlPlayerTools2Image;
  bool ControlRegistrationSwitch = false;
  TSize ControlRegistrationPoint;
  TSize ControlRegistrationSizet;
  ImageRef ControlRegistration1Image;
  ImageRef ControlRegistration2Image;
  std::uint8_t ServerListType = 0;  // 0: drop-down list, 1: tree
  TSize ControlServerListPoint;
  TSize ControlServerListSizet;
  TSize ControlServerList1Point;
  TSize ControlNoticePoint;
  TSize ControlNoticeListSizet;
  TSize ControlWindowModePoint;
  TSize ControlResolutionPoint;
  TSize ControlInterfaceSelectionPoint;
  TSize ControlStateBoxPoint;
  TSize ControlprogressBarPoint;
  TSize ControlprogressBarSize;
  TSize Controlbutton4Point;
  ImageRef Controlbutton41Image;
  ImageRef Controlbutton42Image;
  TSize Controlbutton5Point;
  ImageRef Controlbutton51Image;
  ImageRef Controlbutton52Image;
  TSize ControltitletxtPoint;
  TFontInfo ControltitletxtFont;
  TColor ControltitletxtColor = 0;
  bool ControlprogressBar2Switch = false;
  TSize ControlprogressBar2Point;
  TSize ControlprogressBar2Size;
  bool ControlprogressBar1Switch = false;
  TSize ControlprogressBar1Point;
  TSize ControlprogressBar1Size;
  bool Control16Switch = false;
  TSize Control16Point;
  TSize Control16Sizet;
  bool ControlCloudShieldSwitch = false;
  TSize ControlCloudShieldPoint;
  bool Control24Switch = false;
};

// Fills `info` from the bytes of one brand block, field by field in block
// order, so that an error leaves the fields read before it set. Throws
// RangeError when the block is shorter than its counts, EncodingError when
// a text does not convert.
void DecodeBrandBlock(Bytes block, TLoginInfo& info);

// Fills `info` from the bytes of one skin block: the 60 items in block
// order, each stored as soon as it is read. Images go through `images`.
// Throws RangeError for a length that is negative or runs past the block,
// and passes on the image decoder's and the text conversion's errors.
void DecodeSkinBlock(Bytes block, TGraphicInfo& info, const ImageDecoder& images);

// Sets Present, then Key from the bytes of one key block (a
// SubjectPublicKeyInfo DER of a P-256 key). Throws Error when the block is
// not such a key; Key stays empty then.
void DecodeUpdateKeyBlock(Bytes block, TUpdateKey& key);

// Fills FamilyName and Size from a font description: m (32-bit), m bytes
// of UTF-16LE name, a 32-bit float; later bytes are not read. Throws
// RangeError when the description is shorter than 8 + m bytes.
void ReadFontInfo(Bytes bytes, TFontInfo& font);

// One game zone, decoded from a configuration entry. Records hang on the
// zone nodes of the tree and live for the whole run.
struct TPersonInfo {
  std::int32_t PlatFormID = 0;
  std::string ChannelID;
  std::uint32_t ServerID = 0;
  std::string GroupName;
  std::string ListAreaName;
  std::string ReaDistrictName;
  std::string ServerAddress;
  std::uint16_t LoginPort = 0;
  std::uint16_t RegisteredPorts = 0;
  std::string ClientFileName;

  bool operator==(const TPersonInfo&) const = default;
};

}  // namespace lk
