#pragma once
// One INI-style file through the Windows profile functions. Every call goes
// to the file at that moment; the object holds no contents.
#include <string>
#include <vector>

namespace lk {

class ProfileFile {
 public:
  explicit ProfileFile(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // At most kMaxValueChars characters come back; longer values are cut.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;
  // False when the system refuses the write.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  std::vector<std::string> ReadSection(const std::string& section) const;
  std::vector<std::string> ReadSections() const;
  bool DeleteKey(const std::string& section, const std::string& key);
  bool EraseSection(const std::string& section);
  // Flushes the system's cached writes of this file to disk.
  void UpdateFile();

  static constexpr int kMaxValueChars = 2047;

 private:
  std::string path_;
};

}  // namespace lk
