#pragma once
// A fresh folder under the system's temp folder for portable tests (host
// and Wine), removed with its contents at the end of the test. Its name
// holds Chinese characters on purpose: every path the programs build may.
// Paths come out as UTF-8 text, as the code under test takes them.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace lk::test {

inline std::string Utf8Of(const std::filesystem::path& p) {
  const std::u8string s = p.u8string();
  std::string out(s.begin(), s.end());
#ifdef _WIN32
  for (char& c : out)
    if (c == '/') c = '\\';
#endif
  return out;
}

inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class PortableTempDir {
 public:
  PortableTempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            PathOf("更新测试-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~PortableTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  PortableTempDir(const PortableTempDir&) = delete;
  PortableTempDir& operator=(const PortableTempDir&) = delete;

  std::string path() const { return Utf8Of(path_); }
  // UTF-8 path of a file or folder inside ("a/b" with either separator).
  std::string File(const std::string& name) const { return Utf8Of(path_ / PathOf(name)); }

 private:
  std::filesystem::path path_;
};

inline void WriteTestFile(const std::string& utf8_path, const std::string& bytes) {
  std::filesystem::create_directories(PathOf(utf8_path).parent_path());
  std::ofstream f(PathOf(utf8_path), std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string ReadTestFile(const std::string& utf8_path) {
  std::ifstream f(PathOf(utf8_path), std::ios::binary);
  if (!f) return "<missing>";
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Where the committed fixtures lie, as the test process sees the source
// tree (under Wine through drive Z:).
inline std::string FixturePath(const std::string& relative) {
  return Utf8Of(PathOf(LK_FIXTURES_DIR) / PathOf(relative));
}

}  // namespace lk::test
