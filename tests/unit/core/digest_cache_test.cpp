// The digest cache against real files (host, and Windows under Wine): a
// warm cache reads nothing, and no change to a file can hide from it.
#include "core/digest_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "core/update_files.h"
#include "platform/files.h"
#include "platform/sha256.h"
#include "tests/support/temp_dir.h"

namespace lk {
namespace {

namespace fs = std::filesystem;
using test::PathOf;
using test::ReadTestFile;
using test::WriteTestFile;

std::string Sha(const std::string& content) {
  const Sha256Digest d = ComputeSha256(AsBytes(content));
  return ToLowerHex(Bytes(d.data(), d.size()));
}

// A game folder of a few files and a cache for it.
struct Game {
  test::PortableTempDir dir;
  std::string folder = dir.File("game") + std::string(1, kPathSeparator);
  std::vector<std::string> names = {"launcher.exe", "data/a.dat", "data/地图/b.dat", "top.txt"};

  std::string Path(const std::string& name) const { return dir.File("game/" + name); }
  std::vector<std::string> Paths() const {
    std::vector<std::string> out;
    for (const auto& n : names) out.push_back(Path(n));
    return out;
  }
  std::string CacheFile() const { return DigestCachePath(folder); }
  void Write(const std::string& name, const std::string& content) const { WriteTestFile(Path(name), content); }

  Game() {
    for (const auto& n : names) Write(n, "version 1 of " + n);
  }
  // A cache warmed by one check, saved and read back as the next start does.
  std::unique_ptr<DigestCache> Warm() const {
    DigestCache first(folder);
    first.Load(CacheFile());
    first.Digests(Paths(), false);
    first.Save(CacheFile());
    auto next = std::make_unique<DigestCache>(folder);
    next->Load(CacheFile());
    return next;
  }
};

TEST(DigestCache, AWarmCacheReadsNothingAndGivesTheSameDigests) {
  Game g;
  DigestCache cold(g.folder);
  cold.Load(g.CacheFile());  // none yet
  const std::vector<std::string> first = cold.Digests(g.Paths(), false);
  EXPECT_EQ(cold.hashed(), 4u);
  EXPECT_EQ(first, FileDigests(g.Paths()));
  cold.Save(g.CacheFile());
  EXPECT_TRUE(PathExists(g.CacheFile()));

  std::unique_ptr<DigestCache> warm = g.Warm();
  EXPECT_EQ(warm->Digests(g.Paths(), false), first);
  EXPECT_EQ(warm->hashed(), 0u);
  // The folders listed ahead, as the run does while the manifest comes,
  // give the same answers.
  warm->StartListing();
  EXPECT_EQ(warm->Digests(g.Paths(), false), first);
  EXPECT_EQ(warm->hashed(), 0u);
  // A full check reads everything whatever the cache says.
  EXPECT_EQ(warm->Digests(g.Paths(), true), first);
  EXPECT_EQ(warm->hashed(), 4u);
  // Missing files and folders give the empty text, as FileDigest does.
  EXPECT_EQ(warm->Digests({g.Path("gone.dat"), g.folder}, false), (std::vector<std::string>{"", ""}));
}

struct Change {
  const char* what;
  std::function<void(const Game&)> apply;
  std::string content;  // of data/a.dat afterwards; empty: gone
};

TEST(DigestCache, NoChangeOfAFileHidesFromIt) {
  const std::string path = "data/a.dat";
  const Change changes[] = {
      {"rewritten with other bytes of the same size", [&](const Game& g) { g.Write(path, "version 2 of " + path); },
       "version 2 of " + path},
      {"rewritten and its last-write time set back by hand",
       [&](const Game& g) {
         const auto t = fs::last_write_time(PathOf(g.Path(path)));
         g.Write(path, "version 3 of " + path);
         fs::last_write_time(PathOf(g.Path(path)), t);
       },
       "version 3 of " + path},
      {"replaced by another file of the same size and time",
       [&](const Game& g) {
         const auto t = fs::last_write_time(PathOf(g.Path(path)));
         WriteTestFile(g.Path("other.tmp"), "version 4 of " + path);
         fs::last_write_time(PathOf(g.Path("other.tmp")), t);
         fs::rename(PathOf(g.Path("other.tmp")), PathOf(g.Path(path)));
       },
       "version 4 of " + path},
      {"deleted", [&](const Game& g) { fs::remove(PathOf(g.Path(path))); }, ""},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    Game g;
    std::unique_ptr<DigestCache> cache = g.Warm();
    // Clocks of file systems tick coarsely; let a tick pass.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    c.apply(g);
    const std::vector<std::string> got = cache->Digests(g.Paths(), false);
    EXPECT_EQ(got[1], c.content.empty() ? std::string() : Sha(c.content));
    EXPECT_EQ(cache->hashed(), c.content.empty() ? 0u : 1u);
    EXPECT_EQ(got[0], Sha("version 1 of launcher.exe"));
  }
}

TEST(DigestCache, ACacheThatIsDamagedOrForeignIsNone) {
  struct Case {
    const char* what;
    std::function<void(const Game&)> spoil;
  };
  const Case cases[] = {
      {"truncated", [](const Game& g) {
         const std::string text = ReadTestFile(g.CacheFile());
         WriteTestFile(g.CacheFile(), text.substr(0, text.size() / 2));
       }},
      {"one digest changed", [](const Game& g) {
         std::string text = ReadTestFile(g.CacheFile());
         const std::size_t at = text.find(Sha("version 1 of top.txt"));
         ASSERT_NE(at, std::string::npos);
         text[at] = text[at] == '0' ? '1' : '0';
         WriteTestFile(g.CacheFile(), text);
       }},
      {"empty", [](const Game& g) { WriteTestFile(g.CacheFile(), ""); }},
      {"not a cache", [](const Game& g) { WriteTestFile(g.CacheFile(), "[Options]\r\nServerAddr=1\r\n"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Game g;
    g.Warm();
    c.spoil(g);
    DigestCache cache(g.folder);
    cache.Load(g.CacheFile());
    EXPECT_EQ(cache.Digests(g.Paths(), false), FileDigests(g.Paths()));
    EXPECT_EQ(cache.hashed(), 4u);
  }
  // The cache of a folder that was copied elsewhere holds nothing there.
  Game g;
  g.Warm();
  fs::copy(PathOf(g.dir.File("game")), PathOf(g.dir.File("copy")), fs::copy_options::recursive);
  const std::string copy = g.dir.File("copy") + std::string(1, kPathSeparator);
  DigestCache moved(copy);
  moved.Load(DigestCachePath(copy));
  std::vector<std::string> paths;
  for (const auto& n : g.names) paths.push_back(g.dir.File("copy/" + n));
  moved.Digests(paths, false);
  EXPECT_EQ(moved.hashed(), 4u);
}

// What the update wrote is remembered as it lies then; the next check
// trusts it until the file changes, and a full check never does.
TEST(DigestCache, RememberedDigestsAreTrustedOnlyForThatVersion) {
  Game g;
  DigestCache cache(g.folder);
  g.Write("top.txt", "written by the update");
  cache.Remember(g.Path("top.txt"), std::string(64, 'e'));  // not the file's: shows what is trusted
  EXPECT_EQ(cache.Digests({g.Path("top.txt")}, false), std::vector<std::string>{std::string(64, 'e')});
  EXPECT_EQ(cache.hashed(), 0u);
  EXPECT_EQ(cache.Digests({g.Path("top.txt")}, true), std::vector<std::string>{Sha("written by the update")});
  // A digest that is not one is not remembered.
  cache.Remember(g.Path("launcher.exe"), "");
  cache.Digests({g.Path("launcher.exe")}, false);
  EXPECT_EQ(cache.hashed(), 1u);
}

}  // namespace
}  // namespace lk
