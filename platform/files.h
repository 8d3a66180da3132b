#pragma once
// Plain file access by UTF-8 path on both platforms, for the code that reads
// archives and digests and writes unpacked files. On Windows every call goes
// to the W functions, so paths may hold Chinese characters.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

  // An existing file (or a new one) cut to keep bytes, for writing on at
  // its end: a download that resumes.
  static OutFile Resume(const std::string& path, std::uint64_t keep);

  void Write(const std::uint8_t* data, std::size_t n);
  // Makes what was written durable (FlushFileBuffers, fsync).
  void Flush();
  // Closes the file; throws when the system reports a failure.
  void Close();

 private:
  struct Impl;
  explicit OutFile(std::unique_ptr<Impl> impl);
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

// What identifies one version of a file without reading it: its size, its
// last-write time, its change time (moved by every write and every change
// of its metadata, a last-write time set back by hand included) and its
// file ID (a file replaced by another gets a new one). Times in the
// system's file clock (FileClockNow); a field the file system does not
// give is 0.
struct FileIdentity {
  std::uint64_t size = 0;
  std::int64_t lastWrite = 0;
  std::int64_t change = 0;
  std::uint64_t id = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identities of the regular files directly inside folder, by name, in
// one pass over the folder (no file is opened); empty for a missing folder.
std::vector<std::pair<std::string, FileIdentity>> ListFileIdentities(const std::string& folder);
// Now on the clock of FileIdentity's times, and that clock's ticks per second.
std::int64_t FileClockNow();
extern const std::int64_t kFileClockTicksPerSecond;

// The size of a regular file; nothing when it is missing or a folder.
std::optional<std::uint64_t> FileSize(const std::string& path);
// The names of the regular files directly inside folder (not of its
// subfolders); empty for a missing folder.
std::vector<std::string> ListFiles(const std::string& folder);

// Writes a file so that no reader, and no crash or kill, ever sees it half
// written: the bytes go to a temporary file beside the target (same folder,
// so the rename never crosses volumes), are flushed, and only Commit
// renames the temporary over the target. A writer that is destroyed
// without Commit removes its temporary, unless it was opened to resume,
// whose partial file is kept for the next attempt.
enum class WriteDurability {
  // Flushed to the disk before the rename: after a power loss the target
  // holds the old or the new content. For few files that matter (the
  // launcher, its configuration, the patcher, the kit's outputs).
  kFlushed,
  // Left to the system's cache: a kill of the writer still leaves the old
  // or the new file, a power loss may not. For bulk data whose digest is
  // checked again (game files, downloads): a flush per file made unpacking
  // a few thousand files several times slower.
  kCached,
};

class AtomicFileWriter {
 public:
  // A fresh temporary "<target>.lk-part<n>".
  explicit AtomicFileWriter(std::string target, WriteDurability durability = WriteDurability::kFlushed);
  // A file that does not exist yet, written under its final name: nothing
  // older can be lost, and the rename is saved. It is removed again unless
  // committed, so the caller must make sure that a kill before Commit is
  // tidied too (the unpacking's journal names such files). Throws Error
  // when the target exists or cannot be created.
  static AtomicFileWriter CreateNew(std::string target, WriteDurability durability = WriteDurability::kFlushed);
  // The temporary is partial (kept between attempts), cut to keep bytes.
  static AtomicFileWriter Resume(std::string target, std::string partial, std::uint64_t keep,
                                 WriteDurability durability = WriteDurability::kFlushed);
  ~AtomicFileWriter();
  AtomicFileWriter(AtomicFileWriter&&) noexcept;
  AtomicFileWriter& operator=(AtomicFileWriter&&) = delete;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(const std::uint8_t* data, std::size_t n);
  // Bytes in the temporary, those kept from an earlier attempt included.
  std::uint64_t size() const { return size_; }
  const std::string& target() const { return target_; }
  const std::string& temporary() const { return temp_; }

  // Closes the temporary (flushed first when kFlushed); it stays until
  // Commit or destruction.
  // Lets a caller check many files before it replaces any.
  void Finish();
  // Finish, then rename over the target (nothing to rename for CreateNew). While the rename fails and
  // retryMs is left, tries again (a program may still hold the target for
  // a moment after it ended).
  void Commit(int retryMs = 0);
  // Removes the temporary now, a resumable one too.
  void Discard() noexcept;

 private:
  AtomicFileWriter(std::string target, std::string temp, bool keep_on_failure, WriteDurability durability);
  std::string target_, temp_;
  WriteDurability durability_;
  std::optional<OutFile> file_;
  std::uint64_t size_ = 0;
  bool keep_on_failure_ = false;
  bool done_ = false;
};

// The pattern of AtomicFileWriter's temporaries, for tidying after a kill:
// "<name>.lk-part" and decimal digits.
bool IsAtomicWriterTemporary(const std::string& file_name);

// Writes bytes to path through AtomicFileWriter.
void WriteFileAtomically(const std::string& path, const std::string& bytes);

// The whole file, read through InFile (others may read it meanwhile, not
// write); throws Error when it cannot be opened or read.
std::string ReadWholeFile(const std::string& path);

// folder + separator + name, without doubling a separator that folder
// already ends with.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace lk
