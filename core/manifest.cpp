#include "core/manifest.h"

#include <algorithm>

#include "core/ascii_case.h"
#include "platform/error.h"

namespace lk {
namespace {

// In UTF-8 every code up to U+0020 is a single byte of that value, and no
// byte of a longer sequence is that small.
std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.remove_suffix(1);
  return s;
}

}  // namespace

void ManifestIni::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string fs = AsciiLowered(section);
  auto it = index_.find(fs);
  if (it == index_.end()) {
    it = index_.emplace(fs, sections_.size()).first;
    sections_.push_back(Section{std::string(section), {}, {}});
  }
  Section& s = sections_[it->second];
  const std::string fk = AsciiLowered(key);
  auto k = s.index.find(fk);
  if (k == s.index.end()) {
    s.index.emplace(fk, s.values.size());
    s.values.emplace_back(std::string(key), std::string(value));
  } else {
    s.values[k->second].second = std::string(value);
  }
}

std::string ManifestIni::ReadString(std::string_view section, std::string_view key) const {
  const auto it = index_.find(AsciiLowered(section));
  if (it == index_.end()) return std::string();
  const Section& s = sections_[it->second];
  const auto k = s.index.find(AsciiLowered(key));
  return k == s.index.end() ? std::string() : s.values[k->second].second;
}

bool ManifestIni::HasSection(std::string_view section) const {
  return index_.count(AsciiLowered(section)) != 0;
}

std::vector<std::string> ManifestIni::Sections() const {
  std::vector<std::string> out;
  for (const Section& s : sections_) out.push_back(s.name);
  return out;
}

std::vector<std::string> ManifestIni::Keys(std::string_view section) const {
  std::vector<std::string> out;
  const auto it = index_.find(AsciiLowered(section));
  if (it != index_.end())
    for (const auto& kv : sections_[it->second].values) out.push_back(kv.first);
  return out;
}

void ManifestIni::Clear() {
  sections_.clear();
  index_.clear();
}

std::string DecodeManifestBody(Bytes body) {
  if (body.size() >= 3 && body[0] == 0xEF && body[1] == 0xBB && body[2] == 0xBF) {
    const Bytes rest = body.subspan(3);
    const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
    // Ill-formed sequences become U+FFFD through the lenient round trip.
    return IsValidUtf8(text) ? std::string(text) : Utf16ToUtf8(Utf8ToUtf16(text));
  }
  if (body.size() >= 2 && body[0] == 0xFF && body[1] == 0xFE) {
    std::u16string units;
    units.reserve((body.size() - 2) / 2);
    // A lone trailing byte is not a whole code unit and is dropped.
    for (std::size_t i = 2; i + 1 < body.size(); i += 2)
      units.push_back(static_cast<char16_t>(body[i] | (body[i + 1] << 8)));
    return Utf16ToUtf8(units);
  }
  // In the ANSI code page a NUL ends the text, as the system's string
  // conversions of narrow text do. So UTF-16 without its little-endian mark
  // (every other byte NUL) reads as no text, not as bracket-and-equals
  // fragments between NULs.
  const auto nul = std::find(body.begin(), body.end(), std::uint8_t{0});
  try {
    return GbkToUtf8(body.first(static_cast<std::size_t>(nul - body.begin())));
  } catch (const EncodingError&) {
    return std::string();
  }
}

bool ReadManifestText(Bytes body, ManifestIni& store) {
  std::string text;
  try {
    text = DecodeManifestBody(body);
  } catch (...) {
    return false;
  }
  bool seen = false;
  std::string section;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view line = Trim(std::string_view(text).substr(pos, end - pos));
    pos = end;
    if (pos < text.size()) {
      // CR LF is one line end; a lone CR or LF is one too.
      if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
      ++pos;
    }
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section.assign(line.substr(1, line.size() - 2));
      continue;
    }
    if (section.empty()) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    try {
      store.WriteString(section, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    } catch (...) {
      return seen;
    }
    seen = true;
  }
  return seen;
}

ManifestAnswer ReadManifestAnswer(int status, Bytes body, ManifestIni& store) {
  ManifestAnswer answer;
  if (status == 200)
    answer.entries = ReadManifestText(body, store);
  else
    answer.message = "请求失败，状态码：" + std::to_string(status);
  return answer;
}

}  // namespace lk
