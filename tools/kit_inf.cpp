// inf: writes a launcher configuration file from a readable description.
//
// The description is UTF-8 text in sections:
//
//   [LoginData]            the global settings, plain "Key = value" lines
//   [Zone]                 one zone; repeat the section for every zone, in
//                          the order the tree lists them; all ten fields named
//
// Blank lines and lines starting with "#" or ";" are ignored. The tool is
// strict where the launcher is lenient: every zone field must be present,
// ports must lie in 0..65535, numbers must be numbers, and no field may hold
// "|" (the entry's separator), so a file it writes always loads.
#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>

#include "core/CustomNetEncoding.h"
#include "core/configuration_rules.h"
#include "core/number_rules.h"
#include "platform/error.h"
#include "platform/text.h"
#include "tools/launcher_kit.h"

namespace lk::kit {
namespace {

// The settings the launcher reads, in its reading order; Grouping is
// scrambled on the way out, the others are written as given.
constexpr std::array<const char*, 9> kSettings = {"WebUrl",    "PayUrl",   "RegisterUrl",
                                                  "UpDateUrl", "NoticeUrl", "WebUr2",
                                                  "Grouping",  "UpDateSwitch", "CloudShieldSwitch"};

constexpr std::array<const char*, kZoneFieldCount> kZoneFields = {
    "GroupName",       "ListAreaName", "ReaDistrictName", "ServerAddress", "LoginPort",
    "RegisteredPorts", "PlatFormID",   "ChannelID",       "ServerID",      "ClientFileName"};

struct ZoneDraft {
  int line = 0;  // of its [Zone] header
  std::map<std::string, std::pair<std::string, int>> fields;  // name -> value, line
};

struct Description {
  std::map<std::string, std::pair<std::string, int>> settings;
  std::vector<ZoneDraft> zones;
};

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return std::string(s.substr(b, e - b));
}

template <std::size_t N>
bool Known(const std::array<const char*, N>& names, const std::string& key) {
  for (const char* n : names)
    if (key == n) return true;
  return false;
}

Description Parse(const std::string& file, std::string text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  if (!IsValidUtf8(text)) throw Error(file + ": the description must be UTF-8 text");
  Description d;
  enum { kNone, kLogin, kZone } section = kNone;
  std::istringstream in(text);
  std::string raw;
  for (int line = 1; std::getline(in, raw); ++line) {
    const std::string s = Trim(raw);
    const std::string where = file + ":" + std::to_string(line) + ": ";
    if (s.empty() || s[0] == '#' || s[0] == ';') continue;
    if (s.front() == '[') {
      if (s.back() != ']') throw Error(where + "a section header must end with \"]\"");
      const std::string name = Trim(std::string_view(s).substr(1, s.size() - 2));
      if (name == "LoginData") {
        section = kLogin;
      } else if (name == "Zone") {
        section = kZone;
        d.zones.push_back(ZoneDraft{line, {}});
      } else {
        throw Error(where + "unknown section [" + name + "] (expected [LoginData] or [Zone])");
      }
      continue;
    }
    const std::size_t eq = s.find('=');
    if (eq == std::string::npos) throw Error(where + "expected \"Key = value\"");
    const std::string key = Trim(std::string_view(s).substr(0, eq));
    const std::string value = Trim(std::string_view(s).substr(eq + 1));
    if (section == kNone) throw Error(where + "\"" + key + "\" stands before any section");
    if (value.find_first_of("\r\n") != std::string::npos) throw Error(where + "line breaks are not allowed");
    if (section == kLogin) {
      if (!Known(kSettings, key)) throw Error(where + "unknown setting \"" + key + "\"");
      if (!d.settings.emplace(key, std::make_pair(value, line)).second)
        throw Error(where + "\"" + key + "\" is given twice");
    } else {
      if (!Known(kZoneFields, key)) throw Error(where + "unknown zone field \"" + key + "\"");
      if (value.find('|') != std::string::npos)
        throw Error(where + key + " must not contain \"|\" (it separates the zone's fields)");
      if (!value.empty() && value.front() == '"')
        throw Error(where + key + " must not begin with a double quote");
      if (!d.zones.back().fields.emplace(key, std::make_pair(value, line)).second)
        throw Error(where + "\"" + key + "\" is given twice in this zone");
    }
  }
  return d;
}

TPersonInfo BuildZone(const std::string& file, const ZoneDraft& z) {
  for (const char* f : kZoneFields)
    if (!z.fields.count(f))
      throw Error(file + ":" + std::to_string(z.line) + ": zone is missing the field " + f);
  auto text = [&](const char* f) { return z.fields.at(f).first; };
  auto number = [&](const char* f, std::int64_t lo, std::int64_t hi, const char* what) {
    const auto& [value, line] = z.fields.at(f);
    const auto v = ParseNumberText(value);
    if (!v || *v < lo || *v > hi)
      throw Error(file + ":" + std::to_string(line) + ": " + f + " \"" + value + "\" is not " + what);
    return *v;
  };
  TPersonInfo p;
  p.GroupName = text("GroupName");
  p.ListAreaName = text("ListAreaName");
  p.ReaDistrictName = text("ReaDistrictName");
  p.ServerAddress = text("ServerAddress");
  p.LoginPort = static_cast<std::uint16_t>(number("LoginPort", 0, 65535, "a port (0..65535)"));
  p.RegisteredPorts = static_cast<std::uint16_t>(number("RegisteredPorts", 0, 65535, "a port (0..65535)"));
  p.PlatFormID = static_cast<std::int32_t>(
      number("PlatFormID", INT32_MIN, INT32_MAX, "a 32-bit signed number"));
  p.ChannelID = text("ChannelID");
  p.ServerID = static_cast<std::uint32_t>(number("ServerID", 0, UINT32_MAX, "a 32-bit unsigned number"));
  p.ClientFileName = text("ClientFileName");
  if (p.GroupName.empty() || p.ListAreaName.empty())
    throw Error(file + ":" + std::to_string(z.line) + ": GroupName and ListAreaName must not be empty");
  if (p.ClientFileName.empty())
    throw Error(file + ":" + std::to_string(z.fields.at("ClientFileName").second) +
                ": ClientFileName must not be empty");
  return p;
}

void CheckSettings(const std::string& file, const Description& d) {
  if (auto it = d.settings.find("UpDateSwitch"); it != d.settings.end()) {
    if (it->second.first != "0" && it->second.first != "1")
      throw Error(file + ":" + std::to_string(it->second.second) +
                  ": UpDateSwitch must be 0 or 1 (the launcher turns updates on only for exactly 1)");
  }
  const auto it = d.settings.find("CloudShieldSwitch");
  if (it == d.settings.end())
    throw Error(file + ": [LoginData] needs CloudShieldSwitch (0 for no shield, 1..3 for a vendor)");
  const auto v = ParseNumberText(it->second.first);
  if (!v || *v < 0 || *v > UINT32_MAX)
    throw Error(file + ":" + std::to_string(it->second.second) + ": CloudShieldSwitch \"" +
                it->second.first + "\" is not a number in 0..4294967295");
}

std::string Utf16LeWithBom(const std::string& utf8) {
  const std::u16string u = u"\xFEFF" + Utf8ToUtf16(utf8);
  std::string out;
  out.reserve(u.size() * 2);
  for (char16_t c : u) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

int RunInf(const Args& args, std::ostream& out, std::ostream&) {
  if (args.size() != 2) throw UsageError("expects a description file and an output file");
  const std::string& source = args[0];
  const Description d = Parse(source, ReadFileBytes(source));
  CheckSettings(source, d);

  std::string inf = "[LoginData]\r\n";
  for (const char* key : kSettings) {
    const auto it = d.settings.find(key);
    std::string value = it == d.settings.end() ? "" : it->second.first;
    if (std::string_view(key) == "Grouping") value = EncodeScrambledValue(value, ChainVectorK7q29);
    inf += std::string(key) + "=" + value + "\r\n";
  }
  inf += "[Server]\r\n";
  for (std::size_t i = 0; i < d.zones.size(); ++i) {
    const std::string entry = EntryFromPersonInfo(BuildZone(source, d.zones[i]));
    inf += std::to_string(i) + "=" + EncodeScrambledValue(entry, ChainVectorK7q29) + "\r\n";
  }
  // ASCII stays ASCII, which any editor and any code page read alike; other
  // text goes out as UTF-16 with a byte-order mark, which the profile
  // functions read on every Windows whatever its code page.
  const bool ascii =
      std::all_of(inf.begin(), inf.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  WriteFileBytes(args[1], ascii ? inf : Utf16LeWithBom(inf));
  out << "wrote " << args[1] << ": " << d.zones.size() << " zone(s)\n";
  return 0;
}

}  // namespace

extern const Command kInfCommand{
    "inf", "write a launcher configuration file (.inf) from a description",
    "Usage: launcher-kit inf <description.txt> <launcher.inf>\n\n"
    "Writes the configuration file that lies beside the launcher (same base name,\n"
    "extension .inf). The description is UTF-8 text; lines starting with # or ;\n"
    "are comments:\n\n"
    "  [LoginData]\n"
    "  # opened by the home-page, pay and register buttons\n"
    "  WebUrl = https://example.com/\n"
    "  PayUrl = https://example.com/pay\n"
    "  RegisterUrl = https://example.com/register\n"
    "  # the update manifest\n"
    "  UpDateUrl = http://example.com/update/manifest.ini\n"
    "  # the two notice panels\n"
    "  NoticeUrl = https://example.com/notice\n"
    "  WebUr2 = https://example.com/news\n"
    "  # stored scrambled; the launcher does not use it\n"
    "  Grouping = 分组\n"
    "  # 1: check for updates at every start; 0: never\n"
    "  UpDateSwitch = 1\n"
    "  # required. 0: no network shield; 1, 2, 3: the shield vendor\n"
    "  CloudShieldSwitch = 0\n\n"
    "  # one [Zone] section per zone, in the order the tree lists them\n"
    "  [Zone]\n"
    "  GroupName = 电信区\n"
    "  ListAreaName = 风云一区\n"
    "  ReaDistrictName = 风云\n"
    "  ServerAddress = 203.0.113.7\n"
    "  LoginPort = 7000\n"
    "  RegisteredPorts = 7100\n"
    "  PlatFormID = 1\n"
    "  ChannelID = 1\n"
    "  ServerID = 1\n"
    "  ClientFileName = bin\\game.exe\n\n"
    "Zones with the same GroupName share one group node. ServerAddress and\n"
    "LoginPort are the login server that the launcher probes over TCP;\n"
    "ClientFileName is the game client, relative to the launcher folder (\".exe\"\n"
    "is added when missing). Every zone needs all ten fields; ports lie in\n"
    "0..65535, PlatFormID is a 32-bit signed and ServerID a 32-bit unsigned\n"
    "number; no field may contain \"|\". Settings left out are written empty,\n"
    "except CloudShieldSwitch, which is required.\n",
    RunInf};

}  // namespace lk::kit
