#include "core/safe_names.h"

#include <array>

#include "core/ascii_case.h"
#include "platform/error.h"
#include "platform/text.h"

namespace lk {
namespace {

// NTFS and FAT allow 255 UTF-16 units per name; Windows paths end at 32767.
constexpr std::size_t kMaxSegmentUnits = 255;
constexpr std::size_t kMaxPathUnits = 32767;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// UTF-16 units of valid UTF-8 text: one per character, two above U+FFFF.
std::size_t Utf16Units(std::string_view s) {
  std::size_t units = 0;
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if ((u & 0xC0) != 0x80) ++units;       // a character starts here
    if ((u & 0xF8) == 0xF0) ++units;       // four-byte sequences need a surrogate pair
  }
  return units;
}

std::string SegmentProblem(std::string_view seg) {
  if (seg == "..") return "\"..\" segment";
  if (seg.back() == '.' || seg.back() == ' ') return "segment ending in a dot or blank";
  if (IsReservedDeviceName(seg)) return "reserved device name";
  if (Utf16Units(seg) > kMaxSegmentUnits) return "name too long";
  return {};
}

}  // namespace

bool IsReservedDeviceName(std::string_view segment) {
  // Windows takes the part before the first dot, blanks before the dot
  // ignored: "nul.zip" and "CON .txt" are devices.
  std::string_view base = segment.substr(0, segment.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kNames = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view d : kNames)
    if (EqualsIgnoringAsciiCase(base, d)) return true;
  if (base.size() < 4) return false;
  const std::string_view stem = base.substr(0, 3);
  if (!EqualsIgnoringAsciiCase(stem, "COM") && !EqualsIgnoringAsciiCase(stem, "LPT")) return false;
  const std::string_view digit = base.substr(3);
  if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') return true;
  // Superscript one, two and three count as digits here.
  return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

std::string NameProblem(std::string_view name, NameKind kind) {
  if (name.empty()) return kind == NameKind::kRelativeFolder ? std::string() : "empty";
  if (!IsValidUtf8(name)) return "not UTF-8";
  if (Utf16Units(name) > kMaxPathUnits) return "name too long";
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20) return "control character";
    if (c == ':') return "drive, stream or \":\"";
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
      return "character not allowed in Windows file names";
  }
  if (kind == NameKind::kFileName) {
    for (const char c : name)
      if (IsSeparator(c)) return "folder separator in a file name";
    if (name == ".") return "no file name";
    return SegmentProblem(name);
  }
  if (IsSeparator(name.front())) return "absolute path or UNC prefix";
  bool last_is_file = false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t stop = start;
    while (stop < name.size() && !IsSeparator(name[stop])) ++stop;
    const std::string_view seg = name.substr(start, stop - start);
    start = stop + 1;
    last_is_file = !seg.empty() && seg != ".";
    if (!last_is_file) continue;
    std::string why = SegmentProblem(seg);
    if (!why.empty()) return why;
  }
  if (kind == NameKind::kRelativePath && (!last_is_file || IsSeparator(name.back()))) return "no file name";
  return {};
}

std::string SafeRelativePath(std::string_view name, NameKind kind, char separator) {
  const std::string why = NameProblem(name, kind);
  if (!why.empty()) throw Error("unsafe name \"" + std::string(name) + "\": " + why);
  std::string out;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t stop = start;
    while (stop < name.size() && !IsSeparator(name[stop])) ++stop;
    const std::string_view seg = name.substr(start, stop - start);
    start = stop + 1;
    if (seg.empty() || seg == ".") continue;
    if (!out.empty()) out += separator;
    out.append(seg);
  }
  return out;
}

}  // namespace lk
