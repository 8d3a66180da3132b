#include "core/update_manifest.h"

#include <algorithm>

#include "core/number_rules.h"
#include "core/ascii_case.h"

namespace lk {
namespace {

constexpr char kUpdateData[] = "UpdateData";
constexpr char kFilePrefix[] = "File_";

// The index of a section named "File_" and a decimal number without
// leading zeros, as the run names them; nothing for any other name.
std::optional<std::int32_t> FileSectionIndex(std::string_view name) {
  constexpr std::size_t prefix = sizeof(kFilePrefix) - 1;
  if (name.size() <= prefix || !EqualsIgnoringAsciiCase(name.substr(0, prefix), kFilePrefix)) return std::nullopt;
  const std::string_view digits = name.substr(prefix);
  if (digits.size() > 10 || (digits.size() > 1 && digits[0] == '0')) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace

UpdateManifest ReadUpdateManifest(const ManifestIni& store) {
  auto data = [&store](const char* key) { return store.ReadString(kUpdateData, key); };
  UpdateManifest m;
  m.UpdateUrl = data("UpdateUrl");
  m.Remotebutton1 = data("Remotebutton1");
  m.Remotebutton2 = data("Remotebutton2");
  m.remotePath1 = data("remotePath1");
  m.remotePath2 = data("remotePath2");
  m.LoginVerificationCode = data("LoginVerificationCode");
  m.LoginDownloadName = data("LoginDownloadName");
  m.LoginName = data("LoginName");
  m.ConfigName = data("ConfigName");
  m.ConfigVerificationCode = data("ConfigVerificationCode");
  m.ConfigDownloadName = data("ConfigDownloadName");
  m.Count = data("Count");
  m.count = TryParseSignedInt32(m.Count);
  if (!m.count) return m;

  for (const std::string& section : store.Sections()) {
    const std::optional<std::int32_t> index = FileSectionIndex(section);
    if (!index || *index >= *m.count) continue;
    ManifestFile f;
    f.index = *index;
    f.FileDir = store.ReadString(section, "FileDir");
    f.LocalName = store.ReadString(section, "LocalName");
    f.FileMd5 = store.ReadString(section, "FileMd5");
    f.GrobalName = store.ReadString(section, "GrobalName");
    m.files.push_back(std::move(f));
  }
  std::sort(m.files.begin(), m.files.end(),
            [](const ManifestFile& a, const ManifestFile& b) { return a.index < b.index; });
  return m;
}

std::string WriteUpdateManifest(const UpdateManifest& m) {
  std::string text = "\xEF\xBB\xBF[";
  text += kUpdateData;
  text += "]\r\n";
  auto line = [&text](const char* key, const std::string& value) {
    text.append(key).append("=").append(value).append("\r\n");
  };
  auto optional = [&line](const char* key, const std::string& value) {
    if (!value.empty()) line(key, value);
  };
  line("UpdateUrl", m.UpdateUrl);
  optional("Remotebutton1", m.Remotebutton1);
  optional("Remotebutton2", m.Remotebutton2);
  optional("remotePath1", m.remotePath1);
  optional("remotePath2", m.remotePath2);
  line("LoginVerificationCode", m.LoginVerificationCode);
  line("LoginDownloadName", m.LoginDownloadName);
  line("LoginName", m.LoginName);
  optional("ConfigName", m.ConfigName);
  optional("ConfigVerificationCode", m.ConfigVerificationCode);
  optional("ConfigDownloadName", m.ConfigDownloadName);
  line("Count", m.count ? std::to_string(*m.count) : std::to_string(m.files.size()));
  for (const ManifestFile& f : m.files) {
    text += "\r\n[";
    text += kFilePrefix + std::to_string(f.index);
    text += "]\r\n";
    line("FileDir", f.FileDir);
    line("LocalName", f.LocalName);
    line("FileMd5", f.FileMd5);
    line("GrobalName", f.GrobalName);
  }
  return text;
}

}  // namespace lk
