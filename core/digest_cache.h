#pragma once
// Remembered digests, so that an update check of a large game reads only
// the files that changed. Per file the cache keeps the digest together with
// the identity of the version it was taken of (size, last-write time,
// change time, file ID, see FileIdentity); a file whose identity is the
// same is not read again. Any difference, a missing entry, or a cache that
// is damaged, truncated or was written for another folder means the file
// is hashed. A file that was changed within the clock's resolution of being
// hashed on a file system without change times is never trusted, so the
// cache cannot make a changed file look current.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"

namespace lk {

class DigestCache {
 public:
  // For the files below folder (a path ending with a separator).
  explicit DigestCache(std::string folder);

  ~DigestCache();
  DigestCache(const DigestCache&) = delete;
  DigestCache& operator=(const DigestCache&) = delete;

  // Reads a cache file; anything wrong with it leaves the cache empty.
  void Load(const std::string& file);
  // Starts listing the folders the cache knows, in the background, so that
  // the next Digests finds their files' identities ready: the update run
  // does this while the manifest is on its way.
  void StartListing();
  // Writes the cache file atomically when something changed since Load.
  void Save(const std::string& file);

  // FileDigest of every path, the empty text for a missing or unreadable
  // file. Unless full, a file whose identity matches its entry is not read;
  // the others are hashed concurrently (FileDigests) and remembered.
  std::vector<std::string> Digests(const std::vector<std::string>& paths, bool full);
  // Remembers digest for the file at path (the update has just written and
  // checked it), with its identity as Save finds it.
  void Remember(const std::string& path, const std::string& digest);

  // How many files the last Digests read.
  std::size_t hashed() const { return hashed_; }

 private:
  struct Entry {
    FileIdentity id;
    std::string digest;
  };
  std::string Key(const std::string& path) const;
  void Store(const std::string& key, const FileIdentity& id, const std::string& digest);
  // Identities of many files from one listing per folder: opening each
  // file costs about a millisecond under Wine, as much as hashing it.
  // With use_listed, folders that StartListing listed are not listed again.
  std::vector<std::optional<FileIdentity>> Identities(const std::vector<std::string>& paths, bool use_listed);
  using Listing = std::map<std::string, FileIdentity>;  // folded name -> identity
  static std::vector<Listing> ListAll(const std::vector<std::string>& dirs);
  void FinishListing();
  void SettleRemembered();

  std::string folder_;
  std::map<std::string, Entry> entries_;
  std::vector<std::pair<std::string, std::string>> remembered_;  // path, digest
  std::map<std::string, Listing> listed_;  // by folded folder path
  std::thread listing_;
  bool dirty_ = false;
  std::size_t hashed_ = 0;
};

// The cache file in the launcher folder (which ends with a separator).
std::string DigestCachePath(const std::string& launcherFolder);
// Its file name, which `launcher-kit publish` never ships.
inline constexpr char kDigestCacheName[] = "lk-digest.cache";

}  // namespace lk
