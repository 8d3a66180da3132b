// Reading and writing the skin source folder (format in skin_source.h).
#include "tools/skin_source.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "core/ascii_case.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tools/launcher_kit.h"

namespace lk::kit {
namespace {

const char* const kSystemColours[] = {
    "COLOR_SCROLLBAR",
    "COLOR_BACKGROUND",
    "COLOR_ACTIVECAPTION",
    "COLOR_INACTIVECAPTION",
    "COLOR_MENU",
    "COLOR_WINDOW",
    "COLOR_WINDOWFRAME",
    "COLOR_MENUTEXT",
    "COLOR_WINDOWTEXT",
    "COLOR_CAPTIONTEXT",
    "COLOR_ACTIVEBORDER",
    "COLOR_INACTIVEBORDER",
    "COLOR_APPWORKSPACE",
    "COLOR_HIGHLIGHT",
    "COLOR_HIGHLIGHTTEXT",
    "COLOR_BTNFACE",
    "COLOR_BTNSHADOW",
    "COLOR_GRAYTEXT",
    "COLOR_BTNTEXT",
    "COLOR_INACTIVECAPTIONTEXT",
    "COLOR_BTNHIGHLIGHT",
    "COLOR_3DDKSHADOW",
    "COLOR_3DLIGHT",
    "COLOR_INFOTEXT",
    "COLOR_INFOBK",
    nullptr,
    "COLOR_HOTLIGHT",
    "COLOR_GRADIENTACTIVECAPTION",
    "COLOR_GRADIENTINACTIVECAPTION",
    "COLOR_MENUHILIGHT",
    "COLOR_MENUBAR",
};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

template <typename T>
std::optional<T> Number(std::string_view s) {
  s = Trim(s);
  T v{};
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

bool IsSizeField(std::string_view field) { return field.ends_with("Sizet") || field.ends_with("Size"); }

std::string FloatText(float f) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, f);
  return std::string(buf, r.ptr);
}

// Where a fault is: "path:line: ".
struct Place {
  std::string file;
  int line = 0;
  [[noreturn]] void Fail(const std::string& message) const {
    throw Error(file + ":" + std::to_string(line) + ": " + message);
  }
};

ImageRef LoadImage(const std::string& folder, const std::string& name, ImageKind kind, const Place& at) {
  if (name.empty()) return nullptr;
  const char* expected = kind == ImageKind::Png ? ".png" : ".bmp";
  if (!AsciiLowered(name).ends_with(expected))
    at.Fail("image " + name + " must be a " + (kind == ImageKind::Png ? "PNG" : "BMP") + " file (" +
            expected + ")");
  std::string bytes;
  try {
    bytes = ReadFileBytes(JoinPath(folder, name));
  } catch (const Error&) {
    at.Fail("image " + JoinPath(folder, name) + " cannot be read");
  }
  if (bytes.empty()) at.Fail("image " + JoinPath(folder, name) + " is empty");
  auto image = std::make_shared<TImage>();
  image->Kind = kind;
  image->Source.assign(bytes.begin(), bytes.end());
  try {
    image->Pixels = HeaderImageDecoder().Decode(kind, AsBytes(bytes));
  } catch (const Error& e) {
    at.Fail("image " + JoinPath(folder, name) + " is not a " + (kind == ImageKind::Png ? "PNG" : "BMP") +
            " file: " + e.what());
  }
  return image;
}

void CheckShortText(const std::string& text, const Place& at) {
  std::string gbk;
  try {
    gbk = Utf8ToGbk(text);
  } catch (const EncodingError& e) {
    at.Fail(std::string("text cannot be written in code page 936: ") + e.what());
  }
  if (gbk.size() > 255)
    at.Fail("text is " + std::to_string(gbk.size()) + " bytes in code page 936; at most 255 fit");
}

}  // namespace

std::string ColourText(TColor colour) {
  if ((colour >> 24) == 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF,
                  (colour >> 16) & 0xFF);
    return buf;
  }
  if (IsSystemColour(colour) && (colour & 0x00FFFF00u) == 0 && (colour & 0xFF) < std::size(kSystemColours) &&
      kSystemColours[colour & 0xFF])
    return kSystemColours[colour & 0xFF];
  char buf[12];
  std::snprintf(buf, sizeof buf, "0x%08X", colour);
  return buf;
}

std::optional<TColor> ParseColour(std::string_view text) {
  text = Trim(text);
  auto hex = [](std::string_view digits) -> std::optional<TColor> {
    TColor v = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return v;
  };
  if (text.size() == 7 && text[0] == '#') {
    const auto rgb = hex(text.substr(1));
    if (!rgb) return std::nullopt;
    return RgbColour(static_cast<std::uint8_t>(*rgb >> 16), static_cast<std::uint8_t>(*rgb >> 8),
                     static_cast<std::uint8_t>(*rgb));
  }
  if (text.size() == 10 && (text.starts_with("0x") || text.starts_with("0X"))) return hex(text.substr(2));
  for (std::size_t i = 0; i < std::size(kSystemColours); ++i)
    if (kSystemColours[i] && text == kSystemColours[i]) return kSystemColourFlag | static_cast<TColor>(i);
  return std::nullopt;
}

TGraphicInfo ReadSkinSource(const std::string& folder) {
  const std::string path = JoinPath(folder, kSkinSourceFile);
  const std::string text = ReadFileBytes(path);
  std::map<std::string, const SkinItem*> by_key;
  for (const SkinItem& item : SkinItems()) by_key[item.field] = &item;
  const SkinItem* item30 = by_key["ControlServerListPoint"];
  by_key["ControlServerList1Point"] = item30;

  TGraphicInfo skin;
  std::map<std::string, int> seen;
  // Item 30's two keys wait until ServerListType is known.
  std::map<std::string, std::pair<TSize, Place>> list_points;
  std::size_t start = 0;
  int line_no = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    ++line_no;
    const Place at{path, line_no};
    if (line_no == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (!IsValidUtf8(line)) at.Fail("the line is not UTF-8");
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) at.Fail("expected Key = value");
    const std::string key(Trim(line.substr(0, eq)));
    const std::string value(Trim(line.substr(eq + 1)));
    const auto found = by_key.find(key);
    if (found == by_key.end()) at.Fail("unknown key " + key);
    if (const auto prev = seen.find(key); prev != seen.end())
      at.Fail("key " + key + " given twice (first on line " + std::to_string(prev->second) + ")");
    seen[key] = line_no;
    const SkinItem& item = *found->second;
    switch (item.kind) {
      case SkinItemKind::Switch: {
        if (value != "0" && value != "1") at.Fail(key + " must be 0 or 1, not '" + value + "'");
        skin.*std::get<bool TGraphicInfo::*>(item.member) = value == "1";
        break;
      }
      case SkinItemKind::Byte: {
        const auto v = Number<int>(value);
        if (!v || *v < 0 || *v > 255) at.Fail(key + " must be 0 to 255, not '" + value + "'");
        skin.*std::get<std::uint8_t TGraphicInfo::*>(item.member) = static_cast<std::uint8_t>(*v);
        break;
      }
      case SkinItemKind::Size:
      case SkinItemKind::ServerListPosition: {
        const std::size_t comma = value.find(',');
        const auto x = comma == std::string::npos
                           ? std::nullopt
                           : Number<std::int32_t>(std::string_view(value).substr(0, comma));
        const auto y = comma == std::string::npos
                           ? std::nullopt
                           : Number<std::int32_t>(std::string_view(value).substr(comma + 1));
        if (!x || !y) at.Fail(key + " must be x,y with 32-bit integers, not '" + value + "'");
        if (IsSizeField(key) && (*x < 0 || *y < 0))
          at.Fail(key + " is a size and cannot be negative: '" + value + "'");
        if (item.kind == SkinItemKind::ServerListPosition)
          list_points[key] = {TSize{*x, *y}, at};
        else
          skin.*std::get<TSize TGraphicInfo::*>(item.member) = {*x, *y};
        break;
      }
      case SkinItemKind::ShortText:
        CheckShortText(value, at);
        skin.*std::get<std::string TGraphicInfo::*>(item.member) = value;
        break;
      case SkinItemKind::PngImage:
      case SkinItemKind::BmpImage:
        skin.*std::get<ImageRef TGraphicInfo::*>(item.member) = LoadImage(
            folder, value, item.kind == SkinItemKind::PngImage ? ImageKind::Png : ImageKind::Bitmap, at);
        break;
      case SkinItemKind::Font: {
        const std::size_t comma = value.rfind(',');
        const auto size = comma == std::string::npos
                              ? std::nullopt
                              : Number<float>(std::string_view(value).substr(comma + 1));
        if (!size || !std::isfinite(*size) || *size < 0)
          at.Fail(key + " must be 'family name, size in points', not '" + value + "'");
        skin.ControltitletxtFont.FamilyName = std::string(Trim(std::string_view(value).substr(0, comma)));
        skin.ControltitletxtFont.Size = *size;
        break;
      }
      case SkinItemKind::Colour: {
        const auto c = ParseColour(value);
        if (!c) at.Fail(key + " must be #RRGGBB or a system colour name, not '" + value + "'");
        skin.*std::get<TColor TGraphicInfo::*>(item.member) = *c;
        break;
      }
    }
  }
  const std::string stored = skin.ServerListType == 1 ? "ControlServerListPoint" : "ControlServerList1Point";
  for (const auto& [key, point] : list_points) {
    if (key == stored)
      skin.*ServerListPositionField(skin.ServerListType) = point.first;
    else if (point.first != TSize{})
      point.second.Fail(key + " is not stored when ServerListType is " + std::to_string(skin.ServerListType) +
                        "; the block keeps one position, " + stored);
  }
  return skin;
}

std::string SkinSourceText(const TGraphicInfo& skin,
                           const std::function<std::string(const SkinItem&, const TImage&)>& image_value) {
  std::string out;
  for (const SkinItem& item : SkinItems()) {
    // Item 30 is written under the key of the field it fills.
    const std::string key = item.kind != SkinItemKind::ServerListPosition ? item.field
                            : skin.ServerListType == 1                    ? "ControlServerListPoint"
                                                                          : "ControlServerList1Point";
    std::string value;
    switch (item.kind) {
      case SkinItemKind::Switch:
        value.push_back(skin.*std::get<bool TGraphicInfo::*>(item.member) ? '1' : '0');
        break;
      case SkinItemKind::Byte:
        value = std::to_string(skin.*std::get<std::uint8_t TGraphicInfo::*>(item.member));
        break;
      case SkinItemKind::Size:
      case SkinItemKind::ServerListPosition: {
        TSize s;
        if (item.kind == SkinItemKind::Size) {
          s = skin.*std::get<TSize TGraphicInfo::*>(item.member);
        } else {
          s = skin.*ServerListPositionField(skin.ServerListType);
        }
        value = std::to_string(s.cx) + "," + std::to_string(s.cy);
        break;
      }
      case SkinItemKind::ShortText:
        value = skin.*std::get<std::string TGraphicInfo::*>(item.member);
        break;
      case SkinItemKind::PngImage:
      case SkinItemKind::BmpImage:
        if (const ImageRef& image = skin.*std::get<ImageRef TGraphicInfo::*>(item.member))
          value = image_value(item, *image);
        break;
      case SkinItemKind::Font:
        value = skin.ControltitletxtFont.FamilyName + ", " + FloatText(skin.ControltitletxtFont.Size);
        break;
      case SkinItemKind::Colour:
        value = ColourText(skin.*std::get<TColor TGraphicInfo::*>(item.member));
        break;
    }
    out += key + " = " + value + "\n";
  }
  return out;
}

void WriteSkinSource(const TGraphicInfo& skin, const std::string& folder) {
  const std::string text = SkinSourceText(skin, [&](const SkinItem& item, const TImage& image) {
    const std::string name = std::string(item.field) + (image.Kind == ImageKind::Png ? ".png" : ".bmp");
    WriteFileBytes(JoinPath(folder, name),
                   std::string(reinterpret_cast<const char*>(image.Source.data()), image.Source.size()));
    return name;
  });
  WriteFileBytes(JoinPath(folder, kSkinSourceFile),
                 "# Skin source written by launcher-kit inspect --extract\n" + text);
}

}  // namespace lk::kit
