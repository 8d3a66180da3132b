// Reading and writing the launcher package (layout in package.h).
#include "core/package.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "core/byte_reader.h"
#include "core/skin_items.h"

namespace lk {
namespace {

constexpr const char* kDamaged = "启动器数据损坏: ";

std::int32_t ReadI32(Bytes file, std::size_t at) {
  ByteReader r(file.subspan(at), "文件");
  return r.I32("");
}

void PutU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string TooLong(const char* what, std::size_t n) {
  return std::string(what) + " is " + std::to_string(n) + " bytes in code page 936; at most 255 fit";
}

// 1 byte n, then the text in code page 936.
void PutShortText(std::string& out, const std::string& utf8, const char* what) {
  std::string gbk;
  try {
    gbk = Utf8ToGbk(utf8);
  } catch (const EncodingError& e) {
    throw Error(std::string(what) + ": " + e.what());
  }
  if (gbk.size() > 255) throw Error(TooLong(what, gbk.size()));
  out += static_cast<char>(gbk.size());
  out += gbk;
}

void PutLengthPrefixed32(std::string& out, std::string_view bytes, const char* what) {
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw Error(std::string(what) + " is too large for a 32-bit length");
  PutU32(out, static_cast<std::uint32_t>(bytes.size()));
  out += bytes;
}

void PutSize(std::string& out, TSize s) {
  PutU32(out, static_cast<std::uint32_t>(s.cx));
  PutU32(out, static_cast<std::uint32_t>(s.cy));
}

void PutImage(std::string& out, const ImageRef& image, ImageKind kind, const char* what) {
  if (!image) {
    PutU32(out, 0);
    return;
  }
  if (image->Kind != kind)
    throw Error(std::string(what) + " must be a " + (kind == ImageKind::Png ? "PNG" : "BMP") + " image");
  PutLengthPrefixed32(
      out, std::string_view(reinterpret_cast<const char*>(image->Source.data()), image->Source.size()), what);
}

// The 32 bytes of further data: the mark, then zeros.
std::string FurtherData(std::string_view mark) {
  std::string further(mark);
  further.resize(32, '\0');
  return further;
}

bool HasKeyedMark(Bytes file) {
  if (file.size() < 36) return false;
  const std::string further = FurtherData(kKeyedPackageMark);
  return std::equal(further.begin(), further.end(), file.end() - 36,
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// The key block after the skin block that ends at `at`, when the further
// data says there is one; it must fill the space up to the further data.
std::optional<Bytes> ReadKeyBlock(Bytes file, std::size_t at) {
  if (!HasKeyedMark(file)) return std::nullopt;
  const std::size_t end = file.size() - 36;
  if (at > end || end - at < 4)
    throw RangeError(std::string(kDamaged) + "更新公钥数据长度在偏移 " + std::to_string(at) +
                     " 处超出数据包");
  const std::int32_t k = ReadI32(file, at);
  if (k <= 0 || static_cast<std::size_t>(k) != end - at - 4)
    throw RangeError(std::string(kDamaged) + "更新公钥数据长度 " + std::to_string(k) +
                     " 与数据包不符 (应为 " + std::to_string(end - at - 4) + ")");
  return file.subspan(at + 4, static_cast<std::size_t>(k));
}

}  // namespace

std::string BrandLengthMessage(std::int32_t brand_length, std::size_t file_length) {
  return std::to_string(brand_length) + "品牌数据 长度比总长度" + std::to_string(file_length) + "还长";
}

std::string SkinLengthMessage(std::int32_t skin_length, std::size_t file_length) {
  return std::to_string(skin_length) + "皮肤数据 长度比总长度" + std::to_string(file_length) + "还长";
}

PackageCursor::PackageCursor(Bytes file) : file_(file) {
  if (file.size() < 4)
    throw RangeError(std::string(kDamaged) + "文件只有 " + std::to_string(file.size()) +
                     " 字节, 容不下数据包尾");
  const std::int32_t p = ReadI32(file, file.size() - 4);
  if (p < 0 || static_cast<std::size_t>(p) > file.size() - 4)
    throw RangeError(std::string(kDamaged) + "数据包偏移 " + std::to_string(p) + " 不在文件内 (文件长度 " +
                     std::to_string(file.size()) + ")");
  offset_ = cursor_ = static_cast<std::size_t>(p);
}

Bytes PackageCursor::NextBlock(bool brand) {
  const char* name = brand ? "品牌数据" : "皮肤数据";
  const std::size_t length = file_.size();
  if (length - cursor_ < 4)
    throw RangeError(std::string(kDamaged) + name + "长度在偏移 " + std::to_string(cursor_) +
                     " 处超出文件末尾 (文件长度 " + std::to_string(length) + ")");
  const std::int32_t n = ReadI32(file_, cursor_);
  cursor_ += 4;
  // The length is compared with the whole file only, as a signed number.
  if (static_cast<std::int64_t>(n) >= static_cast<std::int64_t>(length))
    throw PackageLengthError(brand ? BrandLengthMessage(n, length) : SkinLengthMessage(n, length));
  if (n < 0) throw RangeError(std::string(kDamaged) + name + "长度 " + std::to_string(n) + " 为负数");
  if (static_cast<std::size_t>(n) > length - cursor_)
    throw RangeError(std::string(kDamaged) + name + " (偏移 " + std::to_string(cursor_) + ", 长度 " +
                     std::to_string(n) + ") 超出文件末尾 (文件长度 " + std::to_string(length) + ")");
  const Bytes block = file_.subspan(cursor_, static_cast<std::size_t>(n));
  cursor_ += static_cast<std::size_t>(n);
  return block;
}

Bytes PackageCursor::BrandBlock() { return NextBlock(true); }
Bytes PackageCursor::SkinBlock() { return NextBlock(false); }

StartupPackageResult ReadLauncherPackage(Bytes file, TLoginInfo& login, Bytes& skin_block) {
  using Outcome = StartupPackageResult::Outcome;
  try {
    PackageCursor cursor(file);
    DecodeBrandBlock(cursor.BrandBlock(), login);
    skin_block = cursor.SkinBlock();
    return {};
  } catch (const PackageLengthError& e) {
    return {Outcome::Stop, e.what()};
  } catch (const std::exception& e) {
    return {Outcome::DecodeError, e.what()};
  }
}

StartupPackageResult DecodeStartupSkin(Bytes skin_block, TGraphicInfo& graphic, const ImageDecoder& images) {
  try {
    DecodeSkinBlock(skin_block, graphic, images);
    return {};
  } catch (const std::exception& e) {
    return {StartupPackageResult::Outcome::DecodeError, e.what()};
  }
}

StartupPackageResult DecodeLauncherPackage(Bytes file, TLoginInfo& login, TGraphicInfo& graphic,
                                           const ImageDecoder& images) {
  Bytes skin;
  StartupPackageResult read = ReadLauncherPackage(file, login, skin);
  if (read.outcome != StartupPackageResult::Outcome::Decoded) return read;
  return DecodeStartupSkin(skin, graphic, images);
}

PackageLayout LocatePackage(Bytes file) {
  PackageCursor cursor(file);
  PackageLayout layout;
  layout.offset = cursor.offset();
  layout.brand = cursor.BrandBlock();
  layout.skin = cursor.SkinBlock();
  if (cursor.position() > file.size() - 4)
    throw RangeError(std::string(kDamaged) + "皮肤数据伸进了文件末尾的数据包尾");
  layout.update_key = ReadKeyBlock(file, cursor.position());
  const std::size_t blocks_end = cursor.position() + (layout.update_key ? 4 + layout.update_key->size() : 0);
  layout.further = file.size() - 4 - blocks_end;
  return layout;
}

std::string DecodeUpdateKey(Bytes file, TUpdateKey& key) {
  key = TUpdateKey{};
  key.Present = HasKeyedMark(file);
  if (!key.Present) return "";
  std::size_t skin_end = 0;
  try {
    PackageCursor cursor(file);
    cursor.BrandBlock();
    cursor.SkinBlock();
    skin_end = cursor.position();
  } catch (const Error&) {
    return "";
  }
  try {
    DecodeUpdateKeyBlock(*ReadKeyBlock(file, skin_end), key);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

std::string EncodeBrandBlock(const TLoginInfo& info) {
  std::string out;
  out += static_cast<char>(info.IsDh);
  out.append(reinterpret_cast<const char*>(info.Key.data()), info.Key.size());
  out.append(reinterpret_cast<const char*>(info.Iv.data()), info.Iv.size());
  PutShortText(out, info.BrandName, "the brand name");
  PutShortText(out, info.BrandAuthorization, "the launch token");
  // No icon: a zero length.
  PutU32(out, 0);
  return out;
}

std::string EncodeFontInfo(const TFontInfo& font) {
  const std::u16string name = Utf8ToUtf16(font.FamilyName);
  std::string utf16le;
  for (char16_t c : name) {
    utf16le += static_cast<char>(c & 0xFF);
    utf16le += static_cast<char>(c >> 8);
  }
  std::string out;
  PutLengthPrefixed32(out, utf16le, "the font name");
  PutU32(out, std::bit_cast<std::uint32_t>(font.Size));
  // Four further bytes, as the packages this launcher is made for carry;
  // the reader ignores them.
  PutU32(out, 0);
  return out;
}

std::string EncodeSkinBlock(const TGraphicInfo& info) {
  std::string out;
  for (const SkinItem& item : SkinItems()) {
    switch (item.kind) {
      case SkinItemKind::Switch:
        out += static_cast<char>(info.*std::get<bool TGraphicInfo::*>(item.member) ? 1 : 0);
        break;
      case SkinItemKind::Byte:
        out += static_cast<char>(info.*std::get<std::uint8_t TGraphicInfo::*>(item.member));
        break;
      case SkinItemKind::Size:
        PutSize(out, info.*std::get<TSize TGraphicInfo::*>(item.member));
        break;
      case SkinItemKind::ServerListPosition:
        PutSize(out, info.*ServerListPositionField(info.ServerListType));
        break;
      case SkinItemKind::ShortText:
        PutShortText(out, info.*std::get<std::string TGraphicInfo::*>(item.member), item.field);
        break;
      case SkinItemKind::PngImage:
      case SkinItemKind::BmpImage:
        PutImage(out, info.*std::get<ImageRef TGraphicInfo::*>(item.member),
                 item.kind == SkinItemKind::PngImage ? ImageKind::Png : ImageKind::Bitmap, item.field);
        break;
      case SkinItemKind::Font:
        PutLengthPrefixed32(out, EncodeFontInfo(info.*std::get<TFontInfo TGraphicInfo::*>(item.member)),
                            item.field);
        break;
      case SkinItemKind::Colour:
        PutU32(out, info.*std::get<TColor TGraphicInfo::*>(item.member));
        break;
    }
  }
  return out;
}

std::string_view ProgramPart(std::string_view exe) {
  try {
    const PackageLayout layout = LocatePackage(AsBytes(exe));
    // A key block is only found behind the keyed mark.
    if (layout.further == 32 &&
        (layout.update_key || exe.substr(exe.size() - 36, kPackageMark.size()) == kPackageMark))
      return exe.substr(0, layout.offset);
  } catch (const Error&) {
    // No package of ours: the whole file is the program.
  }
  return exe;
}

std::string AppendPackage(std::string_view program, std::string_view brand_block, std::string_view skin_block,
                          std::string_view key_block) {
  if (program.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw Error("the launcher exe is too large for a 32-bit package offset");
  std::string out(program);
  PutLengthPrefixed32(out, brand_block, "the brand block");
  PutLengthPrefixed32(out, skin_block, "the skin block");
  if (!key_block.empty()) PutLengthPrefixed32(out, key_block, "the key block");
  out += FurtherData(key_block.empty() ? kPackageMark : kKeyedPackageMark);
  PutU32(out, static_cast<std::uint32_t>(program.size()));
  return out;
}

}  // namespace lk
