#include "core/update_plan.h"

#include <algorithm>
#include <array>

#include "core/ascii_case.h"
#include "core/number_rules.h"
#include "platform/path_text.h"

namespace lk {
namespace {

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 name devices in every folder, also with
// an extension ("nul.zip") and with trailing dots or blanks.
bool IsDeviceName(std::string_view segment) {
  std::string_view base = segment.substr(0, segment.find('.'));
  while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.remove_suffix(1);
  static constexpr std::array<std::string_view, 4> kPlain = {"con", "prn", "aux", "nul"};
  for (std::string_view d : kPlain)
    if (EqualsIgnoringAsciiCase(base, d)) return true;
  if (base.size() == 4 && base[3] >= '1' && base[3] <= '9' &&
      (EqualsIgnoringAsciiCase(base.substr(0, 3), "com") ||
       EqualsIgnoringAsciiCase(base.substr(0, 3), "lpt")))
    return true;
  return false;
}

// Windows drops trailing dots and blanks from every path segment, so ". ."
// or "..." may come out as "..": a segment of nothing else is refused.
bool OnlyDotsAndBlanks(std::string_view segment) {
  return !segment.empty() && segment.find_first_not_of(". ") == std::string_view::npos;
}

bool HasControlCharacter(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

bool IsSafeItemName(std::string_view name) {
  if (name.empty() || OnlyDotsAndBlanks(name) || HasControlCharacter(name)) return false;
  if (name.find_first_of("\\/:*?\"<>|") != std::string_view::npos) return false;
  return !IsDeviceName(name);
}

bool IsSafeRelativeFolder(std::string_view folder) {
  if (folder.empty()) return true;
  if (HasControlCharacter(folder) || folder.find_first_of(":*?\"<>|") != std::string_view::npos) return false;
  if (folder.front() == '\\' || folder.front() == '/') return false;  // rooted or UNC
  std::size_t start = 0;
  while (start <= folder.size()) {
    std::size_t end = folder.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = folder.size();
    const std::string_view segment = folder.substr(start, end - start);
    if (!segment.empty() && segment != "." && (OnlyDotsAndBlanks(segment) || IsDeviceName(segment)))
      return false;
    start = end + 1;
  }
  return true;
}

std::vector<TParamPair> BuildPatchList(const ManifestLookup& manifest, const std::string& launcherExePath,
                                       const std::string& launcherFolder, const DigestBatch& digests) {
  auto data = [&](const char* key) { return manifest("UpdateData", key); };

  struct Candidate {
    TParamPair item;
    std::string localPath;
    std::string expected;
  };
  std::vector<Candidate> candidates;
  candidates.push_back({{data("LoginDownloadName"), launcherFolder, kLauncherArchive},
                        launcherExePath,
                        data("LoginVerificationCode")});
  candidates.push_back({{data("ConfigDownloadName"), launcherFolder, kConfigArchive},
                        launcherFolder + data("ConfigName"),
                        data("ConfigVerificationCode")});

  const std::int32_t count = ParseSignedInt32(data("Count"));
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string section = "File_" + std::to_string(i);
    const std::string fileDir = manifest(section, "FileDir");
    candidates.push_back({{manifest(section, "GrobalName"), launcherFolder + fileDir, kFileArchive},
                          launcherFolder + RemoveDotBackslash(fileDir) + manifest(section, "LocalName"),
                          manifest(section, "FileMd5")});
  }

  std::vector<std::string> paths;
  paths.reserve(candidates.size());
  for (const Candidate& c : candidates) paths.push_back(c.localPath);
  const std::vector<std::string> actual = digests(paths);

  std::vector<TParamPair> list;
  for (std::size_t i = 0; i < candidates.size(); ++i)
    if (i >= actual.size() || actual[i] != candidates[i].expected) list.push_back(candidates[i].item);
  return list;
}

std::string PatcherParameters(std::string_view launcherFileName, std::string_view launcherFolder,
                              std::string_view loginDownloadName, std::string_view loginName) {
  std::string exe(launcherFileName);
  const std::size_t dot = exe.rfind('.');
  if (dot != std::string::npos) exe.erase(dot);
  exe += ".exe";
  std::string out;
  auto quoted = [&out](std::string_view a, std::string_view b = {}, std::string_view c = {}) {
    out.append(1, '"').append(a).append(b).append(c).append(1, '"');
  };
  quoted(exe);
  out += ' ';
  quoted(launcherFolder, "Patch\\", loginDownloadName);
  out += ' ';
  quoted(loginName);
  return out;
}

}  // namespace lk
