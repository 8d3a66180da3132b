#include "core/update_files.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "core/safe_names.h"
#include "core/ascii_case.h"
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
std::string EntryKey(const std::string& relative) { return AsciiLowered(relative); }

// The digest text of the file at path, read through block; the empty text
// on any failure.
std::string DigestWith(const std::string& path, std::vector<std::uint8_t>& block) noexcept {
  try {
    // A folder fails to open (Windows) or to be read (POSIX): the empty text.
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

    for (const std::string& f : folders) CreateDirectories(f);

    // A file that does not exist yet is written under its final name; the
    // journal names it, so that a kill before the end removes it again.
    std::vector<const Planned*> files;
    std::vector<bool> fresh;
    std::vector<std::string> fresh_paths;
    for (const Planned& p : planned) {
      if (p.entry->is_directory) continue;
      files.push_back(&p);
      fresh.push_back(!PathExists(p.target));
      if (fresh.back()) fresh_paths.push_back(p.target);
    }
    std::optional<UnpackJournal> journal;
    if (!options.journal.empty()) journal.emplace(options.journal, folders, fresh_paths);

    // Inflating and writing run on a few workers at once: under Wine every
    // file's creation waits on the wineserver, and while one worker waits
    // another inflates. Everything is written and checked before anything
    // replaces an existing file; the writers remove what they wrote when
    // anything throws.
    std::vector<std::optional<AtomicFileWriter>> written(files.size());
    std::vector<int> matched(files.size(), -1);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    std::mutex error_mutex;
    auto work = [&] {
      try {
        for (std::size_t i; !failed.load() && (i = next.fetch_add(1)) < files.size();) {
          if (options.cancel) options.cancel->ThrowIfCancelled();
          const Planned& p = *files[i];
          std::optional<AtomicFileWriter> out;
          if (fresh[i]) {
            try {
              out.emplace(AtomicFileWriter::CreateNew(p.target, options.durability));
            } catch (const Error&) {
              // It appeared meanwhile: replace it as any other.
            }
          }
          if (!out) out.emplace(p.target, options.durability);
          int want = -1;
          for (std::size_t k = 0; k < expected.size(); ++k)
            if (expected[k].first == p.key) want = static_cast<int>(k);
          std::optional<Sha256> hash;
          if (want >= 0) hash.emplace();
          zip.Extract(*p.entry, [&](Bytes chunk) {
            out->Write(chunk.data(), chunk.size());
            if (hash) hash->Update(chunk);
          });
          out->Finish();
          if (hash) {
            if (HexDigest(*hash) != expected[static_cast<std::size_t>(want)].second)
              throw DigestMismatchError(archive + ": " + p.entry->name + " does not have the published digest");
            matched[i] = want;
          }
          written[i].emplace(std::move(*out));
        }
      } catch (...) {
        std::lock_guard lock(error_mutex);
        if (!error) error = std::current_exception();
        failed = true;
      }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t workers = std::min<std::size_t>(files.size(), std::min(cores * 2, 4u));
    std::vector<std::thread> threads;
    try {
      for (std::size_t k = 1; k < workers; ++k) threads.emplace_back(work);
    } catch (...) {
      // Fewer threads than wished: the ones started and this one do the work.
    }
    work();
    for (std::thread& t : threads) t.join();
    if (error) std::rethrow_exception(error);

    for (std::size_t k = 0; k < expected.size(); ++k)
      if (std::find(matched.begin(), matched.end(), static_cast<int>(k)) == matched.end())
        throw DigestMismatchError(archive + ": the archive does not hold " + options.expected[k].first);
    if (options.cancel) options.cancel->ThrowIfCancelled();
    for (std::optional<AtomicFileWriter>& w : written)
      if (w) w->Commit(options.renameRetryMs);
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

// One line per entry: "D" or "N", a tab, the path.
UnpackJournal::UnpackJournal(std::string path, const std::vector<std::string>& folders,
                             const std::vector<std::string>& newFiles)
    : path_(std::move(path)) {
  std::string text;
  for (const std::string& f : folders) text += "D\t" + f + "\n";
  for (const std::string& f : newFiles) text += "N\t" + f + "\n";
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
      const std::string line = text.substr(start, end - start);
      start = end + 1;
      if (line.size() < 3 || line[1] != '\t') continue;
      const std::string path = line.substr(2);
      if (line[0] == 'N') {
        // Written under its final name and maybe cut short: it did not
        // exist before, so removing it restores what was there.
        RemoveFile(path);
      } else if (line[0] == 'D') {
        for (const std::string& name : ListFiles(path))
          if (IsAtomicWriterTemporary(name)) RemoveFile(JoinPath(path, name));
      }
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
