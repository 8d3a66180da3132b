// The update check's local work, timed inside the process (a Wine process
// start is not part of what is measured):
//   bench_update_files digest <file>
//   bench_update_files digests <list-file>   one UTF-8 path per line
//   bench_update_files cached <folder> <list-file>   through the digest cache
//     of folder: a cold pass (cache removed) and a warm one
//   bench_update_files extract <archive> <folder>
//   bench_update_files inflate <archive>     every entry read, nothing written
// Prints "ms=<elapsed> result=<digest, count or ->".
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/digest_cache.h"
#include "core/update_files.h"
#include "core/zip_reader.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tools/launcher_kit.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(lk::Narrow(argv[i]));
  try {
    if (args.size() == 2 && args[0] == "digest") {
      const auto t = std::chrono::steady_clock::now();
      const std::string d = lk::FileDigest(args[1]);
      std::printf("ms=%.1f result=%s\n", Since(t), d.c_str());
      return d.empty() ? 1 : 0;
    }
    if (args.size() == 2 && args[0] == "digests") {
      std::vector<std::string> paths;
      const std::string list = lk::kit::ReadFileBytes(args[1]);
      for (std::size_t at = 0; at < list.size();) {
        std::size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        if (end > at) paths.push_back(list.substr(at, end - at));
        at = end + 1;
      }
      const auto t = std::chrono::steady_clock::now();
      const std::vector<std::string> digests = lk::FileDigests(paths);
      const double ms = Since(t);
      std::size_t empty = 0;
      for (const std::string& d : digests) empty += d.empty();
      std::printf("ms=%.1f result=%zu\n", ms, digests.size() - empty);
      return empty ? 1 : 0;
    }
    if (args.size() == 3 && args[0] == "cached") {
      std::vector<std::string> paths;
      const std::string list = lk::kit::ReadFileBytes(args[2]);
      for (std::size_t at = 0; at < list.size();) {
        std::size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        if (end > at) paths.push_back(list.substr(at, end - at));
        at = end + 1;
      }
      const std::string cache_file = lk::DigestCachePath(args[1]);
      lk::RemoveFile(cache_file);
      auto pass = [&] {
        const auto t = std::chrono::steady_clock::now();
        lk::DigestCache cache(args[1]);
        cache.Load(cache_file);
        cache.Digests(paths, false);
        cache.Save(cache_file);
        return std::make_pair(Since(t), cache.hashed());
      };
      const auto cold = pass();
      const auto warm = pass();
      std::printf("ms=%.1f result=cold:%zu warm:%.1fms:%zu\n", cold.first, cold.second, warm.first, warm.second);
      return 0;
    }
    if (args.size() == 2 && args[0] == "inflate") {
      const auto t = std::chrono::steady_clock::now();
      lk::InFile file(args[1]);
      lk::FileZipSource source(file);
      lk::ZipReader zip(source, args[1]);
      std::uint64_t total = 0;
      for (const lk::ZipEntry& e : zip.entries()) zip.Extract(e, [&](lk::Bytes b) { total += b.size(); });
      std::printf("ms=%.1f result=%llu\n", Since(t), static_cast<unsigned long long>(total));
      return 0;
    }
    if (args.size() == 3 && args[0] == "extract") {
      const auto t = std::chrono::steady_clock::now();
      // As the update run unpacks game files.
      lk::ExtractOptions options;
      options.durability = lk::WriteDurability::kCached;
      lk::ExtractPackage(args[1], args[2], options);
      std::printf("ms=%.1f result=-\n", Since(t));
      return 0;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: bench_update_files digest <file> | digests <list> | extract <zip> <folder>\n");
  return 2;
}
