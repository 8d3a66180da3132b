#include "core/update_files.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "core/zip_reader.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/sha256.h"

namespace lk {
namespace {

// Large blocks keep the number of system calls low; 1 MiB per worker.
constexpr std::size_t kDigestBlock = 1024 * 1024;

std::string TemporaryBeside(const std::string& target) {
  // A fresh name in the target's own folder, so the final rename never
  // crosses volumes. OutFile refuses existing names, so a collision with a
  // file of the archive only moves on to the next number.
  static std::atomic<unsigned> counter{0};
  return target + ".lk-part" + std::to_string(counter.fetch_add(1));
}

std::string ParentOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// Renames temp over target; while that fails and retry time is left, waits
// a little and tries again.
void MoveIntoPlace(const std::string& temp, const std::string& target, int retryMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(retryMs);
  for (;;) {
    try {
      MoveReplacing(temp, target);
      return;
    } catch (const Error&) {
      if (std::chrono::steady_clock::now() >= end) throw;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void WriteEntry(const ZipReader& zip, const ZipEntry& entry, const std::string& target, int retryMs) {
  for (int attempt = 0;; ++attempt) {
    const std::string temp = TemporaryBeside(target);
    std::optional<OutFile> out;
    try {
      out.emplace(temp);
    } catch (const Error&) {
      if (attempt < 16 && PathExists(temp)) continue;
      throw;
    }
    try {
      zip.Extract(entry, [&](Bytes chunk) { out->Write(chunk.data(), chunk.size()); });
      out->Close();
      MoveIntoPlace(temp, target, retryMs);
    } catch (...) {
      out.reset();
      RemoveFile(temp);
      throw;
    }
    return;
  }
}

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

void ExtractPackage(const std::string& archive, const std::string& folder, int renameRetryMs) {
  CreateDirectories(folder);
  if (!PathExists(archive)) return;
  {
    InFile file(archive);
    FileZipSource source(file);
    ZipReader zip(source, archive);
    // Every name is checked before anything is written, so an unsafe
    // archive leaves the folder untouched.
    std::vector<std::string> targets;
    targets.reserve(zip.entries().size());
    for (const ZipEntry& entry : zip.entries()) {
      try {
        targets.push_back(JoinPath(folder, SafeEntryPath(entry.name, kPathSeparator)));
      } catch (const Error& e) {
        throw Error(archive + ": " + e.what());
      }
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
      const ZipEntry& entry = zip.entries()[i];
      if (entry.is_directory) {
        CreateDirectories(targets[i]);
        continue;
      }
      CreateDirectories(ParentOf(targets[i]));
      WriteEntry(zip, entry, targets[i], renameRetryMs);
    }
  }
  if (!RemoveFile(archive) && PathExists(archive)) throw Error(archive + ": cannot be deleted");
}

void RemoveDirIfEmpty(const std::string& folder) noexcept {
  try {
    if (!IsDirectory(folder) || DirectoryHasEntries(folder)) return;
    RemoveEmptyDirectory(folder);
  } catch (...) {
  }
}

}  // namespace lk
