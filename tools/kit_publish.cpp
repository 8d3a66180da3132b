// publish: turns a release folder (the launcher, its .inf and the game files
// under their folders) into an update site: one ZIP archive per item and
// the manifest that the launcher's update run reads.
#include <algorithm>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "core/digest_cache.h"
#include "core/safe_names.h"
#include "core/ascii_case.h"
#include "core/update_manifest.h"
#include "core/zip_writer.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "tools/launcher_kit.h"

namespace lk::kit {
namespace {

namespace fs = std::filesystem;

// The launcher creates and deletes these itself (its digest cache among
// them), and writes the player's display choices into Config.ini:
// publishing them would make every update check find a difference and
// overwrite the player's choices or the player's own cache.
bool LeftOut(const std::string& relative) {
  const std::string r = AsciiLowered(relative);
  return r == "patcher.exe" || r == "config.ini" || r == kDigestCacheName || r.starts_with("patch/");
}

struct ReleaseFile {
  std::string relative;  // "/"-separated, UTF-8
  std::string folder;    // "" at the top, else "data/sub"
  std::string name;
};

// A name the launcher can receive: it travels through the manifest (which
// trims values) and an archive entry, and lands on Windows, so it must pass
// the launcher's own name rule unchanged.
void CheckServable(const std::string& relative) {
  std::string why = NameProblem(relative, NameKind::kRelativePath);
  std::size_t start = 0;
  while (why.empty() && start <= relative.size()) {
    std::size_t stop = relative.find('/', start);
    if (stop == std::string::npos) stop = relative.size();
    const std::string seg = relative.substr(start, stop - start);
    if (!seg.empty() && static_cast<unsigned char>(seg.front()) <= 0x20)
      why = "a name beginning with a blank loses it in the manifest";
    if (seg.find('\\') != std::string::npos) why = "\"\\\" separates folders on Windows";
    start = stop + 1;
  }
  if (why.empty() && SafeRelativePath(relative, NameKind::kRelativePath, '/') != relative)
    why = "it changes on the way";
  if (!why.empty()) throw Error("\"" + relative + "\" cannot be served: " + why);
}

std::vector<ReleaseFile> ListRelease(const std::string& release, std::ostream& out) {
  const fs::path root = ToFs(release);
  std::error_code ec;
  if (!fs::is_directory(root, ec)) throw Error("release folder " + release + " does not exist");
  std::vector<ReleaseFile> files;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string relative = FromFs(fs::relative(it->path(), root, ec));
    std::replace(relative.begin(), relative.end(), kPathSeparator, '/');
    if (LeftOut(relative)) {
      out << "left out: " << relative << "\n";
      continue;
    }
    ReleaseFile f;
    f.relative = relative;
    const std::size_t cut = relative.rfind('/');
    f.folder = cut == std::string::npos ? "" : relative.substr(0, cut);
    f.name = cut == std::string::npos ? relative : relative.substr(cut + 1);
    files.push_back(std::move(f));
  }
  if (ec) throw Error("release folder " + release + " cannot be listed: " + ec.message());
  if (files.empty()) throw Error("release folder " + release + " holds no files to publish");
  std::sort(files.begin(), files.end(),
            [](const ReleaseFile& a, const ReleaseFile& b) { return a.relative < b.relative; });
  for (const ReleaseFile& f : files) CheckServable(f.relative);
  return files;
}

// Writes one archive holding `entry_name` with the content of `source`, and
// returns the SHA-256 text of exactly the bytes archived: the file as it
// will lie after unpacking. Written under a temporary name, then renamed.
std::string WriteItem(const std::string& source, const std::string& entry_name, const std::string& archive) {
  AtomicFileWriter zip_file(archive);
  InFile in(source);
  Sha256 hash;
  ZipWriter writer([&](Bytes b) { zip_file.Write(b.data(), b.size()); });
  writer.AddFile(
      entry_name,
      [&](std::uint8_t* buffer, std::size_t n) {
        const std::size_t got = in.Read(buffer, n);
        hash.Update(Bytes(buffer, got));
        return got;
      },
      in.Size());
  writer.Finish();
  zip_file.Commit();
  const Sha256Digest d = hash.Final();
  return ToLowerHex(Bytes(d.data(), d.size()));
}

struct Options {
  std::string release, site, url, launcher, manifest = "update.ini";
  std::string caption1, path1, caption2, path2;
};

Options ParseOptions(const Args& args) {
  Options o;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
      return args[++i];
    };
    if (a == "--url")
      o.url = value();
    else if (a == "--launcher")
      o.launcher = value();
    else if (a == "--manifest")
      o.manifest = value();
    else if (a == "--remote-caption1")
      o.caption1 = value();
    else if (a == "--remote-path1")
      o.path1 = value();
    else if (a == "--remote-caption2")
      o.caption2 = value();
    else if (a == "--remote-path2")
      o.path2 = value();
    else if (a.starts_with("--"))
      throw UsageError("unknown option " + a);
    else
      positional.push_back(a);
  }
  if (positional.size() != 2) throw UsageError("expects a release folder and a site folder");
  o.release = positional[0];
  o.site = positional[1];
  if (o.url.empty()) throw UsageError("--url is required");
  if (!(o.url.starts_with("http://") || o.url.starts_with("https://")))
    throw UsageError("--url must begin with http:// or https://");
  // The launcher joins the base address and the item name with nothing
  // between them.
  if (o.url.back() != '/') throw UsageError("--url must end with \"/\"");
  for (const std::string* t : {&o.url, &o.caption1, &o.path1, &o.caption2, &o.path2})
    if (!IsValidUtf8(*t) || t->find_first_of("\r\n") != std::string::npos)
      throw UsageError("option values must be UTF-8 text on one line");
  if (o.manifest.empty() || o.manifest.find_first_of("/\\") != std::string::npos)
    throw UsageError("--manifest names a file inside the site folder");
  return o;
}

// Picks the launcher: the one named, else the only top-level .exe, else the
// only top-level .exe with an .inf beside it.
const ReleaseFile& FindLauncher(const std::vector<ReleaseFile>& files, const Options& o) {
  std::vector<const ReleaseFile*> exes, with_inf;
  for (const ReleaseFile& f : files) {
    if (!f.folder.empty() || !AsciiLowered(f.name).ends_with(".exe")) continue;
    if (!o.launcher.empty()) {
      if (f.name == o.launcher) return f;
      continue;
    }
    exes.push_back(&f);
    const std::string inf = AsciiLowered(f.name.substr(0, f.name.size() - 4) + ".inf");
    for (const ReleaseFile& g : files)
      if (g.folder.empty() && AsciiLowered(g.name) == inf) with_inf.push_back(&f);
  }
  if (!o.launcher.empty())
    throw Error("release folder " + o.release + " has no launcher " + o.launcher + " at its top");
  if (exes.size() == 1) return *exes[0];
  if (with_inf.size() == 1) return *with_inf[0];
  if (exes.empty()) throw Error("release folder " + o.release + " has no launcher (.exe) at its top");
  throw Error("release folder " + o.release + " has several .exe files; name the launcher with --launcher");
}

std::string FileDirOf(const ReleaseFile& f) {
  if (f.folder.empty()) return ".\\";
  std::string dir = f.folder;
  std::replace(dir.begin(), dir.end(), '/', '\\');
  return dir + "\\";
}

int RunPublish(const Args& args, std::ostream& out, std::ostream&) {
  const Options o = ParseOptions(args);
  const std::vector<ReleaseFile> files = ListRelease(o.release, out);
  const ReleaseFile& launcher = FindLauncher(files, o);
  const std::string inf_name = launcher.name.substr(0, launcher.name.size() - 4) + ".inf";
  const ReleaseFile* config = nullptr;
  for (const ReleaseFile& f : files)
    if (f.folder.empty() && AsciiLowered(f.name) == AsciiLowered(inf_name)) config = &f;

  {
    std::error_code ec;
    const fs::path release = fs::weakly_canonical(ToFs(o.release), ec);
    const fs::path site = fs::weakly_canonical(ToFs(o.site), ec);
    const auto [r, s] = std::mismatch(release.begin(), release.end(), site.begin(), site.end());
    if (r == release.end()) throw Error("the site folder must not lie inside the release folder");
  }
  CreateDirectories(o.site);
  auto source = [&](const ReleaseFile& f) { return FromFs(ToFs(o.release) / ToFs(f.relative)); };

  UpdateManifest m;
  m.UpdateUrl = o.url;
  m.Remotebutton1 = o.caption1;
  m.Remotebutton2 = o.caption2;
  m.remotePath1 = o.path1;
  m.remotePath2 = o.path2;
  m.LoginVerificationCode = WriteItem(source(launcher), launcher.name, JoinPath(o.site, "launcher.zip"));
  m.LoginDownloadName = "launcher.zip";
  m.LoginName = launcher.name;
  std::size_t archives = 1;
  if (config) {
    m.ConfigName = config->name;
    m.ConfigVerificationCode = WriteItem(source(*config), config->name, JoinPath(o.site, "config.zip"));
    m.ConfigDownloadName = "config.zip";
    ++archives;
  }
  for (const ReleaseFile& f : files) {
    if (&f == &launcher || &f == config) continue;
    ManifestFile item;
    item.index = static_cast<std::int32_t>(m.files.size());
    item.GrobalName = "file_" + std::to_string(item.index) + ".zip";
    item.FileDir = FileDirOf(f);
    item.LocalName = f.name;
    item.FileMd5 = WriteItem(source(f), f.name, JoinPath(o.site, item.GrobalName));
    m.files.push_back(std::move(item));
  }
  const std::size_t count = m.files.size();
  archives += count;
  // The manifest last: a launcher that fetches it meanwhile finds either
  // the old site or the complete new one.
  WriteFileAtomically(JoinPath(o.site, o.manifest), WriteUpdateManifest(m));
  out << "published " << archives << " archives and " << o.manifest << " to " << o.site << "\n";
  out << "launcher " << launcher.name << (config ? ", configuration " + config->name : std::string()) << ", "
      << count << " game files\n";
  return 0;
}

}  // namespace

extern const Command kPublishCommand{
    "publish", "write an update site (archives and manifest) from a release folder",
    "Usage: launcher-kit publish <release-folder> <site-folder> --url <address>\n"
    "           [--launcher <name.exe>] [--manifest <name>]\n"
    "           [--remote-caption1 <text>] [--remote-path1 <path>]\n"
    "           [--remote-caption2 <text>] [--remote-path2 <path>]\n\n"
    "The release folder holds the launcher, its .inf and the game files under\n"
    "their folders, exactly as they should lie in a player's launcher folder.\n"
    "The site folder receives one ZIP archive per item (launcher.zip,\n"
    "config.zip, file_0.zip, ...) and the manifest (default update.ini), whose\n"
    "digests are those of the files as they lie after unpacking. Serve the\n"
    "site folder at --url (ending with \"/\"), and point the launcher's\n"
    "UpDateUrl at the manifest there.\n\n"
    "The launcher is the only .exe at the top of the release folder, or the\n"
    "only one with an .inf beside it, or the one named by --launcher.\n"
    "Left out: Patch\\, patcher.exe (the launcher makes them itself) and\n"
    "Config.ini (the player's own display choices).\n",
    RunPublish};

}  // namespace lk::kit
