#pragma once
// Plain file access by UTF-8 path on both platforms, for the code that reads
// archives and digests and writes unpacked files. On Windows every call goes
// to the W functions, so paths may hold Chinese characters.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace lk {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// A file opened for reading while other programs may read it but not write
// it (on Windows FILE_SHARE_READ only), so a digest or an archive is never
// read while someone changes it. Move-only.
class InFile {
 public:
  // Throws Error (the path, then the system's reason) when the file cannot
  // be opened.
  explicit InFile(const std::string& path);
  ~InFile();
  InFile(InFile&&) noexcept;
  InFile& operator=(InFile&&) noexcept;
  InFile(const InFile&) = delete;
  InFile& operator=(const InFile&) = delete;

  const std::string& path() const;
  std::uint64_t Size() const;
  // Reads up to n bytes at the current position; 0 at the end. Throws on a
  // read error.
  std::size_t Read(std::uint8_t* buffer, std::size_t n);
  // Reads exactly n bytes at offset; throws RangeError when the file ends
  // first and Error on a read error.
  void ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A new file for writing; fails when the path exists already, so two
// writers never share a temporary name. Move-only. An OutFile that was not
// closed is closed (without error report) on destruction.
class OutFile {
 public:
  explicit OutFile(const std::string& path);
  ~OutFile();
  OutFile(OutFile&&) noexcept;
  OutFile& operator=(OutFile&&) noexcept;
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;

  void Write(const std::uint8_t* data, std::size_t n);
  // Closes the file; throws when the system reports a failure.
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
// Creates the folder with every missing parent; throws Error when that is
// impossible (a missing drive, a file in the way, no permission).
void CreateDirectories(const std::string& path);
// Renames from over to, replacing an existing file; throws Error.
void MoveReplacing(const std::string& from, const std::string& to);
// False when the file cannot be removed; never throws.
bool RemoveFile(const std::string& path) noexcept;
// Removes an empty folder; false on failure; never throws.
bool RemoveEmptyDirectory(const std::string& path) noexcept;
// True when the folder holds any entry at all, hidden and system entries
// included; false for an empty or missing folder.
bool DirectoryHasEntries(const std::string& path);

// The whole file, read through InFile (others may read it meanwhile, not
// write); throws Error when it cannot be opened or read.
std::string ReadWholeFile(const std::string& path);

// folder + separator + name, without doubling a separator that folder
// already ends with.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace lk
