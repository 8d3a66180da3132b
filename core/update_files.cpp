#include "core/update_files.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>
#include <utility>

#include "core/safe_names.h"
#include "core/text_rules.h"
#include "core/zip_reader.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/sha256.h"

namespace lk {
namespace {

// Large blocks keep the number of system calls low; 1 MiB per worker.
constexpr std::size_t kDigestBlock = 1024 * 1024;

std::string ParentOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string HexDigest(Sha256& hash) {
  const Sha256Digest d = hash.Final();
  return ToLowerHex(Bytes(d.data(), d.size()));
}

// The "/"-separated name an entry unpacks to; its letter case folded for
// comparing, as Windows compares file names.
std::string EntryKey(const std::string& relative) { return ToLowerAscii(relative); }

// The digest text of the file at path, read through block; the empty text
// on any failure.
std::string DigestWith(const std::string& path, std::vector<std::uint8_t>& block) noexcept {
  try {
    if (!IsRegularFile(path)) return std::string();
    InFile file(path);
    Sha256 hash;
    for (;;) {
      const std::size_t n = file.Read(block.data(), block.size());
      if (n == 0) break;
      hash.Update(Bytes(block.data(), n));
    }
    const Sha256Digest d = hash.Final();
    return ToLowerHex(Bytes(d.data(), d.size()));
  } catch (...) {
    return std::string();
  }
}

}  // namespace

std::string FileDigest(const std::string& path) noexcept {
  try {
    std::vector<std::uint8_t> block(kDigestBlock);
    return DigestWith(path, block);
  } catch (...) {
    return std::string();
  }
}

std::vector<std::string> FileDigests(const std::vector<std::string>& paths) {
  std::vector<std::string> results(paths.size());
  if (paths.empty()) return results;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  // Two workers per core: opening a file waits on the system (under Wine on
  // the wineserver) rather than on the CPU, and overlapping those waits made
  // a 3,000-file check about a quarter faster than one worker per core.
  const std::size_t workers = std::min<std::size_t>(paths.size(), std::min(cores * 2, 8u));
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    // One block per worker for all its files: a fresh megabyte per file
    // costs more than hashing a small file (under Wine, several times more).
    std::vector<std::uint8_t> block;
    try {
      block.resize(kDigestBlock);
    } catch (...) {
      block.resize(64 * 1024);
    }
    for (std::size_t i; (i = next.fetch_add(1)) < paths.size();) results[i] = DigestWith(paths[i], block);
  };
  std::vector<std::thread> threads;
  threads.reserve(workers - 1);
  try {
    for (std::size_t k = 1; k < workers; ++k) threads.emplace_back(work);
  } catch (...) {
    // Fewer threads than wished: the ones started and this one finish the work.
  }
  work();
  for (std::thread& t : threads) t.join();
  return results;
}

void ExtractPackage(const std::string& archive, const std::string& folder, const ExtractOptions& options) {
  CreateDirectories(folder);
  if (!PathExists(archive)) return;
  {
    InFile file(archive);
    FileZipSource source(file);
    ZipReader zip(source, archive);

    // Every name is checked before anything is written, so an unsafe
    // archive leaves the folder untouched.
    struct Planned {
      const ZipEntry* entry;
      std::string key;     // for the expected digests
      std::string target;  // full path
    };
    std::vector<Planned> planned;
    std::vector<std::string> folders{folder};
    planned.reserve(zip.entries().size());
    for (const ZipEntry& entry : zip.entries()) {
      const NameKind kind = entry.is_directory ? NameKind::kRelativeFolder : NameKind::kRelativePath;
      std::string relative;
      try {
        relative = SafeRelativePath(entry.name, kind, '/');
      } catch (const Error& e) {
        throw Error(archive + ": " + e.what());
      }
      std::string local = relative;
      std::replace(local.begin(), local.end(), '/', kPathSeparator);
      Planned p{&entry, EntryKey(relative), local.empty() ? folder : JoinPath(folder, local)};
      folders.push_back(entry.is_directory ? p.target : ParentOf(p.target));
      planned.push_back(std::move(p));
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());

    std::vector<std::pair<std::string, std::string>> expected;
    for (const auto& [name, digest] : options.expected) expected.emplace_back(EntryKey(name), digest);
    std::vector<bool> seen(expected.size(), false);

    std::optional<UnpackJournal> journal;
    if (!options.journal.empty()) journal.emplace(options.journal, folders);

    // Everything goes to temporaries first; the writers remove them again
    // when anything below throws.
    std::vector<AtomicFileWriter> written;
    written.reserve(planned.size());
    for (const Planned& p : planned) {
      if (options.cancel) options.cancel->ThrowIfCancelled();
      if (p.entry->is_directory) {
        CreateDirectories(p.target);
        continue;
      }
      CreateDirectories(ParentOf(p.target));
      std::size_t want = expected.size();
      for (std::size_t k = 0; k < expected.size(); ++k)
        if (expected[k].first == p.key) want = k;
      AtomicFileWriter out(p.target);
      std::optional<Sha256> hash;
      if (want < expected.size()) hash.emplace();
      zip.Extract(*p.entry, [&](Bytes chunk) {
        out.Write(chunk.data(), chunk.size());
        if (hash) hash->Update(chunk);
      });
      out.Finish();
      if (hash) {
        if (HexDigest(*hash) != expected[want].second)
          throw DigestMismatchError(archive + ": " + p.entry->name + " does not have the published digest");
        seen[want] = true;
      }
      written.push_back(std::move(out));
    }
    for (std::size_t k = 0; k < expected.size(); ++k)
      if (!seen[k]) throw DigestMismatchError(archive + ": the archive does not hold " + options.expected[k].first);
    if (options.cancel) options.cancel->ThrowIfCancelled();
    for (AtomicFileWriter& w : written) w.Commit(options.renameRetryMs);
  }
  if (!RemoveFile(archive) && PathExists(archive)) throw Error(archive + ": cannot be deleted");
}

std::string ArchiveEntryDigest(const std::string& archive, const std::string& entry) {
  InFile file(archive);
  FileZipSource source(file);
  ZipReader zip(source, archive);
  const std::string key = EntryKey(entry);
  for (const ZipEntry& e : zip.entries()) {
    if (e.is_directory) continue;
    std::string relative;
    try {
      relative = SafeRelativePath(e.name, NameKind::kRelativePath, '/');
    } catch (const Error& err) {
      throw Error(archive + ": " + err.what());
    }
    if (EntryKey(relative) != key) continue;
    Sha256 hash;
    zip.Extract(e, [&](Bytes chunk) { hash.Update(chunk); });
    return HexDigest(hash);
  }
  throw DigestMismatchError(archive + ": the archive does not hold " + entry);
}

std::string UnpackJournalPath(const std::string& launcherFolder) {
  return JoinPath(JoinPath(launcherFolder, "Patch"), "lk-unpack.journal");
}

UnpackJournal::UnpackJournal(std::string path, const std::vector<std::string>& folders) : path_(std::move(path)) {
  std::string text;
  for (const std::string& f : folders) text += f + "\n";
  WriteFileAtomically(path_, text);
}

UnpackJournal::~UnpackJournal() { RemoveFile(path_); }

void RemoveUnpackLeftovers(const std::string& journal) noexcept {
  try {
    if (!PathExists(journal)) return;
    const std::string text = ReadWholeFile(journal);
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string folder = text.substr(start, end - start);
      start = end + 1;
      if (folder.empty()) continue;
      for (const std::string& name : ListFiles(folder))
        if (IsAtomicWriterTemporary(name)) RemoveFile(JoinPath(folder, name));
    }
    RemoveFile(journal);
  } catch (...) {
  }
}

void RemoveDirIfEmpty(const std::string& folder) noexcept {
  try {
    if (!IsDirectory(folder) || DirectoryHasEntries(folder)) return;
    RemoveEmptyDirectory(folder);
  } catch (...) {
  }
}

}  // namespace lk
