#include "core/update_plan.h"

#include "core/number_rules.h"
#include "core/safe_names.h"
#include "platform/error.h"

namespace lk {
namespace {

struct Candidate {
  PatchItem item;
  std::string localName;  // the local file as the manifest names it, for messages
};

std::string FileNameOfPath(std::string_view path) {
  const std::size_t cut = path.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

}  // namespace

const PatchItem* UpdatePlan::Find(PatchKind kind) const {
  for (const PatchItem& i : items)
    if (i.pair.Param3 == kind) return &i;
  return nullptr;
}

UpdatePlan PlanUpdate(const UpdateManifest& m, const std::string& launcherExePath,
                      const std::string& launcherFolder, const DigestBatch& digests) {
  if (!m.count) ParseSignedInt32(m.Count);  // throws the number error
  UpdatePlan plan;
  std::vector<Candidate> candidates;

  // A local name that may not be used is refused before anything reads it.
  // An empty one names the folder itself, whose digest is the empty text:
  // it differs only when the manifest publishes a digest for it.
  auto local = [&](PatchItem item, const std::string& folder, const std::string& name) {
    if (std::string why = NameProblem(folder, NameKind::kRelativeFolder); !why.empty()) {
      plan.refused.push_back({folder, why});
      return;
    }
    if (std::string why = name.empty() ? std::string() : NameProblem(name, NameKind::kRelativePath);
        !why.empty()) {
      plan.refused.push_back({name, why});
      return;
    }
    const std::string dir = SafeRelativePath(folder, NameKind::kRelativeFolder, '\\');
    item.checkEntry = name.empty() ? std::string() : SafeRelativePath(name, NameKind::kRelativePath, '/');
    std::string path = launcherFolder;
    if (!dir.empty()) path += dir + "\\";
    if (!name.empty()) path += SafeRelativePath(name, NameKind::kRelativePath, '\\');
    item.checkPath = std::move(path);
    candidates.push_back({std::move(item), name});
  };

  {
    const std::string ownName = FileNameOfPath(launcherExePath);
    PatchItem launcher;
    launcher.pair = {m.LoginDownloadName, launcherFolder, kLauncherArchive};
    launcher.checkEntry = ownName;
    launcher.checkPath = launcherExePath;
    launcher.expectedDigest = m.LoginVerificationCode;
    candidates.push_back({std::move(launcher), ownName});
  }
  {
    PatchItem config;
    config.pair = {m.ConfigDownloadName, launcherFolder, kConfigArchive};
    config.expectedDigest = m.ConfigVerificationCode;
    local(std::move(config), "", m.ConfigName);
  }
  for (const ManifestFile& f : m.files) {
    PatchItem file;
    file.pair = {f.GrobalName, launcherFolder + f.FileDir, kFileArchive};
    file.relativeFolder = f.FileDir;
    file.expectedDigest = f.FileMd5;
    local(std::move(file), f.FileDir, f.LocalName);
  }

  std::vector<std::string> paths;
  paths.reserve(candidates.size());
  for (const Candidate& c : candidates) paths.push_back(c.item.checkPath);
  const std::vector<std::string> actual = digests(paths);

  for (std::size_t i = 0; i < candidates.size(); ++i) {
    Candidate& c = candidates[i];
    if (i < actual.size() && actual[i] == c.item.expectedDigest) continue;
    std::string why = NameProblem(c.item.pair.Param1, NameKind::kFileName);
    if (why.empty() && c.item.checkEntry.empty()) why = "no local file name";
    if (why.empty() && c.item.pair.Param3 == kLauncherArchive) {
      why = NameProblem(m.LoginName, NameKind::kRelativePath);
      if (!why.empty()) why = "LoginName: " + why;
    }
    if (!why.empty()) {
      plan.refused.push_back({c.item.pair.Param1.empty() ? c.localName : c.item.pair.Param1, why});
      continue;
    }
    plan.items.push_back(std::move(c.item));
  }
  return plan;
}

std::string UpdateFailureText(const std::vector<UpdateFailure>& failures) {
  if (failures.empty()) return {};
  constexpr std::size_t kMaxNameBytes = 80;
  std::string name = failures[0].name;
  if (name.size() > kMaxNameBytes) {
    std::size_t cut = kMaxNameBytes;
    // Never inside a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name = name.substr(0, cut) + "…";
  }
  std::string text = "更新失败：" + name + "（" + failures[0].reason + "）";
  if (failures.size() > 1) text += "等 " + std::to_string(failures.size()) + " 项";
  return text;
}

std::string PatcherParameters(std::string_view launcherFileName, std::string_view launcherFolder,
                              std::string_view loginDownloadName, std::string_view loginName,
                              std::string_view launcherDigest) {
  std::string exe(launcherFileName);
  const std::size_t dot = exe.rfind('.');
  if (dot != std::string::npos) exe.erase(dot);
  exe += ".exe";
  std::string out;
  auto quoted = [&out](std::string_view a, std::string_view b = {}, std::string_view c = {}) {
    if (!out.empty()) out += ' ';
    out.append(1, '"').append(a).append(b).append(c).append(1, '"');
  };
  quoted(exe);
  quoted(launcherFolder, "Patch\\", loginDownloadName);
  quoted(loginName);
  if (!launcherDigest.empty()) quoted(launcherDigest);
  return out;
}

}  // namespace lk
