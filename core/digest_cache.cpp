#include "core/digest_cache.h"

#include <algorithm>

#include "core/text_rules.h"
#include "core/update_files.h"
#include "platform/error.h"
#include "platform/sha256.h"

namespace lk {
namespace {

constexpr char kHeader[] = "lk-digest-cache 1";
// A cache is a line per file; anything larger is not one of ours.
constexpr std::uint64_t kMaxCacheBytes = 64 * 1024 * 1024;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string Hex(const std::string& bytes) {
  const Sha256Digest d = ComputeSha256(AsBytes(bytes));
  return ToLowerHex(Bytes(d.data(), d.size()));
}

// On a file system without change times a write within the last-write
// time's resolution (two seconds on FAT) may leave the identity as it was.
bool Trusted(const FileIdentity& id) {
  if (id.change != 0) return true;
  if (id.lastWrite == 0) return false;
  return FileClockNow() - id.lastWrite > 3 * kFileClockTicksPerSecond;
}

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = line.find(sep, start);
    parts.push_back(line.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

bool ParseInt(const std::string& text, std::int64_t& out) {
  if (text.empty() || text.size() > 20) return false;
  std::size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  out = text[0] == '-' ? -v : v;
  return true;
}

}  // namespace

DigestCache::DigestCache(std::string folder) : folder_(std::move(folder)) {}

std::string DigestCache::Key(const std::string& path) const {
  std::string key = path;
  if (key.size() > folder_.size() && EqualsIgnoreAsciiCase(std::string_view(key).substr(0, folder_.size()), folder_))
    key = key.substr(folder_.size());
  for (char& c : key)
    if (c == '/') c = '\\';
  // Windows names files without regard to the case of A-Z.
  return ToLowerAscii(key);
}

void DigestCache::Store(const std::string& key, const FileIdentity& id, const std::string& digest) {
  auto it = entries_.find(key);
  if (it != entries_.end() && it->second.id == id && it->second.digest == digest) return;
  entries_[key] = Entry{id, digest};
  dirty_ = true;
}

void DigestCache::Load(const std::string& file) {
  entries_.clear();
  dirty_ = false;
  std::string text;
  try {
    const std::optional<std::uint64_t> size = FileSize(file);
    if (!size || *size > kMaxCacheBytes) return;
    text = ReadWholeFile(file);
  } catch (const Error&) {
    return;
  }
  // The last line seals the rest: a cache cut short or changed is none.
  const std::size_t end_line = text.rfind("\nend\t");
  if (end_line == std::string::npos || text.empty() || text.back() != '\n') return;
  const std::string body = text.substr(0, end_line + 1);
  const std::vector<std::string> seal = Split(text.substr(end_line + 1, text.size() - end_line - 2), '\t');
  std::int64_t count = 0;
  if (seal.size() != 3 || !ParseInt(seal[1], count) || seal[2] != Hex(body)) return;

  std::map<std::string, Entry> read;
  std::size_t start = 0;
  int line_number = 0;
  while (start < body.size()) {
    const std::size_t stop = body.find('\n', start);
    const std::string line = body.substr(start, stop - start);
    start = stop + 1;
    ++line_number;
    if (line_number == 1) {
      if (line != kHeader) return;
      continue;
    }
    if (line_number == 2) {
      // Written for another folder (a copied or moved game): none of it holds.
      if (line != "folder\t" + folder_) return;
      continue;
    }
    const std::vector<std::string> f = Split(line, '\t');
    std::int64_t size = 0, write = 0, change = 0, id = 0;
    if (f.size() != 6 || !ParseInt(f[0], size) || !ParseInt(f[1], write) || !ParseInt(f[2], change) ||
        !ParseInt(f[3], id) || f[4].size() != 64 || f[5].empty())
      return;
    read[f[5]] = Entry{FileIdentity{static_cast<std::uint64_t>(size), write, change, static_cast<std::uint64_t>(id)},
                       f[4]};
  }
  if (static_cast<std::int64_t>(read.size()) != count) return;
  entries_ = std::move(read);
}

void DigestCache::Save(const std::string& file) {
  if (!dirty_) return;
  std::string text = std::string(kHeader) + "\nfolder\t" + folder_ + "\n";
  for (const auto& [key, e] : entries_) {
    text += std::to_string(e.id.size) + "\t" + std::to_string(e.id.lastWrite) + "\t" + std::to_string(e.id.change) +
            "\t" + std::to_string(static_cast<std::int64_t>(e.id.id)) + "\t" + e.digest + "\t" + key + "\n";
  }
  text += "end\t" + std::to_string(entries_.size()) + "\t" + Hex(text) + "\n";
  try {
    WriteFileAtomically(file, text);
    dirty_ = false;
  } catch (const Error&) {
    // Without a cache the next check reads the files again; nothing worse.
  }
}

std::vector<std::string> DigestCache::Digests(const std::vector<std::string>& paths, bool full) {
  std::vector<std::string> results(paths.size());
  // One pass per folder gives every file's identity without opening it.
  std::map<std::string, std::map<std::string, FileIdentity>> listings;
  std::vector<std::optional<FileIdentity>> before(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& p = paths[i];
    std::size_t cut = p.size();
    while (cut > 0 && !IsSeparator(p[cut - 1])) --cut;
    const std::string dir = p.substr(0, cut), name = p.substr(cut);
    if (name.empty()) continue;  // a folder: the empty text, as FileDigest gives
    auto it = listings.find(dir);
    if (it == listings.end()) {
      std::map<std::string, FileIdentity> names;
      for (auto& [n, id] : ListFileIdentities(dir.empty() ? std::string(".") : dir)) names[ToLowerAscii(n)] = id;
      it = listings.emplace(dir, std::move(names)).first;
    }
    const auto found = it->second.find(ToLowerAscii(name));
    if (found != it->second.end()) before[i] = found->second;
  }

  std::vector<std::size_t> misses;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (!before[i]) {
      if (entries_.erase(Key(paths[i]))) dirty_ = true;
      continue;  // missing: the empty text
    }
    const auto e = entries_.find(Key(paths[i]));
    if (!full && e != entries_.end() && e->second.id == *before[i] && Trusted(*before[i])) {
      results[i] = e->second.digest;
      continue;
    }
    misses.push_back(i);
  }

  std::vector<std::string> miss_paths;
  miss_paths.reserve(misses.size());
  for (const std::size_t i : misses) miss_paths.push_back(paths[i]);
  const std::vector<std::string> hashed = FileDigests(miss_paths);
  hashed_ = misses.size();
  for (std::size_t k = 0; k < misses.size(); ++k) {
    const std::size_t i = misses[k];
    results[i] = hashed[k];
    // Remembered only when the file stayed the same while it was read.
    const std::optional<FileIdentity> after = QueryFileIdentity(paths[i]);
    if (!hashed[k].empty() && after && *after == *before[i] && Trusted(*after)) {
      Store(Key(paths[i]), *after, hashed[k]);
    } else if (entries_.erase(Key(paths[i]))) {
      dirty_ = true;
    }
  }
  return results;
}

void DigestCache::Remember(const std::string& path, const std::string& digest) {
  const std::optional<FileIdentity> id = QueryFileIdentity(path);
  if (id && Trusted(*id) && digest.size() == 64) {
    Store(Key(path), *id, digest);
  } else if (entries_.erase(Key(path))) {
    dirty_ = true;
  }
}

std::string DigestCachePath(const std::string& launcherFolder) { return JoinPath(launcherFolder, kDigestCacheName); }

}  // namespace lk
