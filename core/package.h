#pragma once
// The launcher package, appended to the launcher's own exe (P is its file
// offset, L the file length, integers little-endian):
//
//   P          brand length B, 32-bit signed
//   P + 4      brand block, B bytes
//   P + 4 + B  skin length S, 32-bit signed
//   P + 8 + B  skin block, S bytes
//   ...        further data, any length (32 bytes in our packages)
//   L - 4      trailer: P, 32-bit
//
// A package that carries an update key has one more block between the skin
// block and the further data: its length K (32-bit signed) and K bytes, the
// key's SubjectPublicKeyInfo DER. Its 32 bytes of further data then start
// with kKeyedPackageMark instead of kPackageMark. Launchers that know
// nothing of the key take the block for further data, which they never read.
//
// Reading is a pure function of the file bytes, so start-up is tested on
// the host; writing lives beside it so launcher-kit writes exactly what the
// launcher reads.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/logininfo.h"
#include "platform/error.h"

namespace lk {

// "<B>品牌数据 长度比总长度<L>还长" and its skin form: the messages that stop
// start-up when a block length is not smaller than the whole file.
std::string BrandLengthMessage(std::int32_t brand_length, std::size_t file_length);
std::string SkinLengthMessage(std::int32_t skin_length, std::size_t file_length);

// A block length not smaller than the file: start-up shows what() and ends.
class PackageLengthError : public Error {
 public:
  using Error::Error;
};

// Walks the package front to back as start-up does: first the brand block,
// then the skin block. Each step checks only what it reads, so a fault in
// the skin part is found only after the brand block was handed out.
class PackageCursor {
 public:
  // Reads the trailer. Throws RangeError when the file is shorter than the
  // trailer or the trailer points outside the file.
  explicit PackageCursor(Bytes file);

  // Each throws PackageLengthError for a length not smaller than the file
  // and RangeError for a negative length or a block running past the file.
  Bytes BrandBlock();
  Bytes SkinBlock();

  std::size_t offset() const { return offset_; }
  std::size_t position() const { return cursor_; }

 private:
  Bytes NextBlock(bool brand);

  Bytes file_;
  std::size_t offset_ = 0;
  std::size_t cursor_ = 0;
};

// What start-up does with the package, short of the dialogs.
struct StartupPackageResult {
  enum class Outcome {
    Decoded,      // both blocks decoded
    Stop,         // an impossible length: show `message`, then end
    DecodeError,  // show `message`, then go on with what was filled
  };
  Outcome outcome = Outcome::Decoded;
  std::string message;
};
StartupPackageResult DecodeLauncherPackage(Bytes file, TLoginInfo& login, TGraphicInfo& graphic,
                                           const ImageDecoder& images);

// DecodeLauncherPackage in two halves, so that the launcher can decode the
// skin's images while it builds its window: the first reads the trailer,
// decodes the brand block and checks the skin block's length, handing out
// the skin block (a view into `file`) only when the outcome is Decoded; the
// second decodes that block. Together they give exactly what
// DecodeLauncherPackage gives.
StartupPackageResult ReadLauncherPackage(Bytes file, TLoginInfo& login, Bytes& skin_block);
StartupPackageResult DecodeStartupSkin(Bytes skin_block, TGraphicInfo& graphic, const ImageDecoder& images);

// The whole layout, for the tools: also refuses a skin block that runs into
// the trailer, and a damaged key block.
struct PackageLayout {
  std::size_t offset = 0;
  Bytes brand;
  Bytes skin;
  std::optional<Bytes> update_key;  // the key block, when the package has one
  std::size_t further = 0;          // bytes between the last block and the trailer
};
PackageLayout LocatePackage(Bytes file);

// Fills `key` from the package's key block, as start-up does after the
// brand and the skin, whatever became of their decoding (a skin image the
// system cannot decode must not switch the signature check off). Present
// follows the mark in the last 36 bytes alone, so a package that says it
// has a key never counts as one without. Returns the message to show for a
// damaged key block, or "" (also when the lengths before it are damaged:
// start-up has shown that already).
std::string DecodeUpdateKey(Bytes file, TUpdateKey& key);

// --- writing ----------------------------------------------------------------

// Throws Error when a text does not fit its length byte (255 bytes in code
// page 936) or has a character code page 936 cannot hold.
std::string EncodeBrandBlock(const TLoginInfo& info);
// Throws Error for a text too long, an image of the wrong kind for its slot,
// or an image too large for a 32-bit length.
std::string EncodeSkinBlock(const TGraphicInfo& info);
std::string EncodeFontInfo(const TFontInfo& font);

// The 32 bytes of further data our packages carry (the mark, then zeros);
// they let launcher-kit recognise a package it must replace, and the second
// one tells the launcher that a key block follows the skin block.
inline constexpr std::string_view kPackageMark = "launcher-kit package v1";
inline constexpr std::string_view kKeyedPackageMark = "launcher-kit package v2";

// The exe without the package it carries, if it carries one that reads
// cleanly and ends with our 32 bytes of further data; otherwise the whole
// exe.
std::string_view ProgramPart(std::string_view exe);

// program + B + brand + S + skin + further data + trailer; with a key block,
// K + key block before the further data.
std::string AppendPackage(std::string_view program, std::string_view brand_block, std::string_view skin_block,
                          std::string_view key_block = {});

}  // namespace lk
