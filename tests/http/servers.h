#pragma once
// Addresses of the servers the driving script started, from the
// environment: LK_NGINX_URL (static files, ends with "/"), LK_NGINX_ROOT
// (its document root, a Windows path), LK_ODD_URL (tests/servers/
// oddserver.py, ends with "/"), LK_CLOSED_URL (a port nobody listens on).
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "platform/text.h"

namespace lk::test {

inline std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

inline std::string NginxUrl() { return Env("LK_NGINX_URL"); }
inline std::string OddUrl() { return Env("LK_ODD_URL"); }
inline std::string ClosedUrl() { return Env("LK_CLOSED_URL"); }
inline std::filesystem::path NginxRoot() { return std::filesystem::path(Wide(Env("LK_NGINX_ROOT"))); }

// The odd server's item: /<mode>/<size>/<name>.
inline std::string OddItemBase(const std::string& mode, std::int64_t size) {
  return OddUrl() + mode + "/" + std::to_string(size) + "/";
}

// The odd server's content: byte i is (i * 31 + 7) mod 251.
inline std::string OddBytes(std::int64_t size) {
  std::string s(static_cast<std::size_t>(size), '\0');
  for (std::int64_t i = 0; i < size; ++i)
    s[static_cast<std::size_t>(i)] = static_cast<char>((i % 251 * 31 + 7) % 251);
  return s;
}

inline std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

#define LK_REQUIRE_SERVERS()                                            \
  do {                                                                  \
    if (::lk::test::NginxUrl().empty() || ::lk::test::OddUrl().empty()) \
      GTEST_FAIL() << "run through tests/e2e/test_http_downloads.py";   \
  } while (0)

}  // namespace lk::test
