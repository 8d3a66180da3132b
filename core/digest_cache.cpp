#include "core/digest_cache.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "core/ascii_case.h"
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
  if (key.size() > folder_.size() && EqualsIgnoringAsciiCase(std::string_view(key).substr(0, folder_.size()), folder_))
    key = key.substr(folder_.size());
  for (char& c : key)
    if (c == '/') c = '\\';
  // Windows names files without regard to the case of A-Z.
  return AsciiLowered(key);
}

void DigestCache::Store(const std::string& key, const FileIdentity& id, const std::string& digest) {
  auto it = entries_.find(key);
  if (it != entries_.end() && it->second.id == id && it->second.digest == digest) return;
  entries_[key] = Entry{id, digest};
  dirty_ = true;
}

void DigestCache::Load(const std::string& file) {
  FinishListing();
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
  SettleRemembered();
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

std::vector<DigestCache::Listing> DigestCache::ListAll(const std::vector<std::string>& dirs) {
  // A few folders at a time: opening a folder waits on the system as
  // opening a file does.
  std::vector<Listing> listings(dirs.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t d; (d = next.fetch_add(1)) < dirs.size();)
      for (auto& [n, id] : ListFileIdentities(dirs[d].empty() ? std::string(".") : dirs[d]))
        listings[d][AsciiLowered(n)] = id;
  };
  std::vector<std::thread> threads;
  const std::size_t workers = std::min<std::size_t>(dirs.size(), 4);
  try {
    for (std::size_t k = 1; k < workers; ++k) threads.emplace_back(work);
  } catch (...) {
    // Fewer threads than wished: this one lists the rest.
  }
  work();
  for (std::thread& t : threads) t.join();
  return listings;
}

DigestCache::~DigestCache() { FinishListing(); }

void DigestCache::StartListing() {
  FinishListing();
  std::vector<std::string> dirs;
  for (const auto& [key, e] : entries_) {
    const std::size_t cut = key.rfind('\\');
    dirs.push_back(folder_ + (cut == std::string::npos ? std::string() : key.substr(0, cut + 1)));
  }
  std::sort(dirs.begin(), dirs.end());
  dirs.erase(std::unique(dirs.begin(), dirs.end()), dirs.end());
  try {
    listing_ = std::thread([this, dirs] {
      std::vector<Listing> listings = ListAll(dirs);
      for (std::size_t d = 0; d < dirs.size(); ++d) listed_[AsciiLowered(dirs[d])] = std::move(listings[d]);
    });
  } catch (...) {
    // Without a thread Digests lists the folders itself.
  }
}

void DigestCache::FinishListing() {
  if (listing_.joinable()) listing_.join();
}

std::vector<std::optional<FileIdentity>> DigestCache::Identities(const std::vector<std::string>& paths,
                                                                 bool use_listed) {
  std::vector<std::string> dirs;
  std::vector<const Listing*> ready;
  std::vector<std::pair<std::size_t, std::string>> where(paths.size());
  std::map<std::string, std::size_t> dir_index;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& p = paths[i];
    std::size_t cut = p.size();
    while (cut > 0 && !IsSeparator(p[cut - 1])) --cut;
    const std::string dir = p.substr(0, cut);
    auto [it, added] = dir_index.emplace(dir, dirs.size());
    if (added) {
      dirs.push_back(dir);
      const auto l = use_listed ? listed_.find(AsciiLowered(dir)) : listed_.end();
      ready.push_back(l != listed_.end() ? &l->second : nullptr);
    }
    where[i] = {it->second, AsciiLowered(p.substr(cut))};
  }
  std::vector<std::string> missing;
  std::vector<std::size_t> missing_index;
  for (std::size_t d = 0; d < dirs.size(); ++d)
    if (!ready[d]) {
      missing.push_back(dirs[d]);
      missing_index.push_back(d);
    }
  const std::vector<Listing> fresh = ListAll(missing);
  for (std::size_t k = 0; k < missing.size(); ++k) ready[missing_index[k]] = &fresh[k];

  std::vector<std::optional<FileIdentity>> out(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const auto& [d, name] = where[i];
    if (name.empty()) continue;  // a folder
    const auto found = ready[d]->find(name);
    if (found != ready[d]->end()) out[i] = found->second;
  }
  return out;
}

std::vector<std::string> DigestCache::Digests(const std::vector<std::string>& paths, bool full) {
  FinishListing();
  SettleRemembered();
  std::vector<std::string> results(paths.size());
  const std::vector<std::optional<FileIdentity>> before = Identities(paths, true);
  listed_.clear();

  std::vector<std::string> misses;
  std::vector<std::size_t> where;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (!before[i]) {
      if (entries_.erase(Key(paths[i]))) dirty_ = true;
      continue;  // missing or a folder: the empty text, as FileDigest gives
    }
    const auto e = entries_.find(Key(paths[i]));
    if (!full && e != entries_.end() && e->second.id == *before[i] && Trusted(*before[i])) {
      results[i] = e->second.digest;
      continue;
    }
    misses.push_back(paths[i]);
    where.push_back(i);
  }

  const std::vector<std::string> hashed = FileDigests(misses);
  hashed_ = misses.size();
  // Remembered only when the file stayed the same while it was read.
  const std::vector<std::optional<FileIdentity>> after = Identities(misses, false);
  for (std::size_t k = 0; k < misses.size(); ++k) {
    const std::size_t i = where[k];
    results[i] = hashed[k];
    if (!hashed[k].empty() && after[k] && *after[k] == *before[i] && Trusted(*after[k])) {
      Store(Key(paths[i]), *after[k], hashed[k]);
    } else if (entries_.erase(Key(paths[i]))) {
      dirty_ = true;
    }
  }
  return results;
}

void DigestCache::Remember(const std::string& path, const std::string& digest) {
  remembered_.emplace_back(path, digest);
}

void DigestCache::SettleRemembered() {
  if (remembered_.empty()) return;
  std::vector<std::string> paths;
  for (const auto& [path, digest] : remembered_) paths.push_back(path);
  const std::vector<std::optional<FileIdentity>> ids = Identities(paths, false);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& digest = remembered_[i].second;
    if (ids[i] && Trusted(*ids[i]) && digest.size() == 64) {
      Store(Key(paths[i]), *ids[i], digest);
    } else if (entries_.erase(Key(paths[i]))) {
      dirty_ = true;
    }
  }
  remembered_.clear();
}

std::string DigestCachePath(const std::string& launcherFolder) { return JoinPath(launcherFolder, kDigestCacheName); }

}  // namespace lk
