// publish: turns a release folder (the launcher, its .inf and the game files
// under their folders) into an update site: one ZIP archive per item and
// the manifest that the launcher's update run reads.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "core/ascii_case.h"
#include "core/manifest.h"
#include "core/zip_reader.h"
#include "core/zip_writer.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "tools/launcher_kit.h"

namespace lk::kit {
namespace {

namespace fs = std::filesystem;

// The launcher creates and deletes these itself, and writes the player's
// display choices into Config.ini: publishing them would make every update
// check find a difference and overwrite the player's choices.
bool LeftOut(const std::string& relative) {
  const std::string r = AsciiLowered(relative);
  return r == "patcher.exe" || r == "config.ini" || r.starts_with("patch/");
}

struct ReleaseFile {
  std::string relative;  // "/"-separated, UTF-8
  std::string folder;    // "" at the top, else "data/sub"
  std::string name;
};

// A name the launcher can receive: it travels through the manifest (which
// trims values) and an archive entry (which the launcher refuses when it is
// unsafe), and lands on Windows.
void CheckServable(const std::string& relative) {
  if (!IsValidUtf8(relative)) throw Error("\"" + relative + "\": the name is not UTF-8 and cannot be served");
  std::string why;
  try {
    if (SafeEntryPath(relative, '/') != relative) why = "it changes on the way";
  } catch (const Error& e) {
    why = e.what();
  }
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
  const std::string temp = archive + ".lk-part";
  RemoveFile(temp);
  std::optional<OutFile> zip_file;
  zip_file.emplace(temp);
  try {
    InFile in(source);
    Sha256 hash;
    ZipWriter writer([&](Bytes b) { zip_file->Write(b.data(), b.size()); });
    writer.AddFile(
        entry_name,
        [&](std::uint8_t* buffer, std::size_t n) {
          const std::size_t got = in.Read(buffer, n);
          hash.Update(Bytes(buffer, got));
          return got;
        },
        in.Size());
    writer.Finish();
    zip_file->Close();
    MoveReplacing(temp, archive);
    const Sha256Digest d = hash.Final();
    return ToLowerHex(Bytes(d.data(), d.size()));
  } catch (...) {
    zip_file.reset();
    RemoveFile(temp);
    throw;
  }
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

  // The manifest, CR LF lines, UTF-8 with its mark so the launcher reads
  // the Chinese names as such.
  std::string m = "\xEF\xBB\xBF[UpdateData]\r\n";
  auto line = [&m](const std::string& key, const std::string& value) { m += key + "=" + value + "\r\n"; };
  line("UpdateUrl", o.url);
  if (!o.caption1.empty()) line("Remotebutton1", o.caption1);
  if (!o.caption2.empty()) line("Remotebutton2", o.caption2);
  if (!o.path1.empty()) line("remotePath1", o.path1);
  if (!o.path2.empty()) line("remotePath2", o.path2);

  line("LoginVerificationCode", WriteItem(source(launcher), launcher.name, JoinPath(o.site, "launcher.zip")));
  line("LoginDownloadName", "launcher.zip");
  line("LoginName", launcher.name);
  std::size_t archives = 1;
  if (config) {
    line("ConfigName", config->name);
    line("ConfigVerificationCode", WriteItem(source(*config), config->name, JoinPath(o.site, "config.zip")));
    line("ConfigDownloadName", "config.zip");
    ++archives;
  }
  std::string sections;
  std::size_t count = 0;
  for (const ReleaseFile& f : files) {
    if (&f == &launcher || &f == config) continue;
    const std::string item = "file_" + std::to_string(count) + ".zip";
    const std::string digest = WriteItem(source(f), f.name, JoinPath(o.site, item));
    sections += "\r\n[File_" + std::to_string(count) + "]\r\n";
    sections += "FileDir=" + FileDirOf(f) + "\r\n";
    sections += "LocalName=" + f.name + "\r\n";
    sections += "FileMd5=" + digest + "\r\n";
    sections += "GrobalName=" + item + "\r\n";
    ++count;
  }
  line("Count", std::to_string(count));
  m += sections;
  archives += count;

  const std::string manifest_path = JoinPath(o.site, o.manifest);
  const std::string temp = manifest_path + ".lk-part";
  RemoveFile(temp);
  {
    OutFile f(temp);
    f.Write(reinterpret_cast<const std::uint8_t*>(m.data()), m.size());
    f.Close();
  }
  MoveReplacing(temp, manifest_path);
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
