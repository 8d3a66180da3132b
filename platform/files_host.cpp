// Files through POSIX calls on the host (launcher-kit and the host tests).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/error.h"
#include "platform/files.h"

namespace lk {
namespace {

[[noreturn]] void Fail(const std::string& path, const char* what, int code) {
  throw Error(path + ": " + what + ": " + std::strerror(code));
}

}  // namespace

struct InFile::Impl {
  std::string path;
  int fd = -1;
  ~Impl() {
    if (fd >= 0) ::close(fd);
  }
};

InFile::InFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  impl_->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (impl_->fd < 0) Fail(path, "cannot open", errno);
  struct stat st;
  if (::fstat(impl_->fd, &st) == 0 && S_ISDIR(st.st_mode)) Fail(path, "cannot open", EISDIR);
}
InFile::~InFile() = default;
InFile::InFile(InFile&&) noexcept = default;
InFile& InFile::operator=(InFile&&) noexcept = default;

const std::string& InFile::path() const { return impl_->path; }

std::uint64_t InFile::Size() const {
  struct stat st;
  if (::fstat(impl_->fd, &st) != 0) Fail(impl_->path, "cannot read the size", errno);
  return static_cast<std::uint64_t>(st.st_size);
}

std::size_t InFile::Read(std::uint8_t* buffer, std::size_t n) {
  for (;;) {
    const ssize_t got = ::read(impl_->fd, buffer, n);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) Fail(impl_->path, "cannot read", errno);
  }
}

void InFile::ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) {
  while (n > 0) {
    const ssize_t got = ::pread(impl_->fd, buffer, n, static_cast<off_t>(offset));
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(impl_->path, "cannot read", errno);
    }
    if (got == 0) throw RangeError(impl_->path + ": the file ends early");
    buffer += got;
    offset += static_cast<std::uint64_t>(got);
    n -= static_cast<std::size_t>(got);
  }
}

struct OutFile::Impl {
  std::string path;
  int fd = -1;
  ~Impl() {
    if (fd >= 0) ::close(fd);
  }
};

OutFile::OutFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  impl_->fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (impl_->fd < 0) Fail(path, "cannot create", errno);
}
OutFile::OutFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

OutFile OutFile::Resume(const std::string& path, std::uint64_t keep) {
  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (impl->fd < 0) Fail(path, "cannot open", errno);
  if (::ftruncate(impl->fd, static_cast<off_t>(keep)) != 0 ||
      ::lseek(impl->fd, static_cast<off_t>(keep), SEEK_SET) < 0)
    Fail(path, "cannot write", errno);
  return OutFile(std::move(impl));
}

OutFile::~OutFile() = default;
OutFile::OutFile(OutFile&&) noexcept = default;
OutFile& OutFile::operator=(OutFile&&) noexcept = default;

void OutFile::Write(const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    const ssize_t done = ::write(impl_->fd, data, n);
    if (done < 0) {
      if (errno == EINTR) continue;
      Fail(impl_->path, "cannot write", errno);
    }
    data += done;
    n -= static_cast<std::size_t>(done);
  }
}

void OutFile::Flush() {
  if (impl_->fd >= 0 && ::fsync(impl_->fd) != 0) Fail(impl_->path, "cannot write", errno);
}

void OutFile::Close() {
  if (impl_->fd < 0) return;
  const int fd = impl_->fd;
  impl_->fd = -1;
  if (::close(fd) != 0) Fail(impl_->path, "cannot write", errno);
}

const std::int64_t kFileClockTicksPerSecond = 1000000000;

namespace {

std::int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.size = static_cast<std::uint64_t>(st.st_size);
  id.lastWrite = Nanoseconds(st.st_mtim);
  id.change = Nanoseconds(st.st_ctim);
  id.id = static_cast<std::uint64_t>(st.st_ino);
  return id;
}

}  // namespace

std::int64_t FileClockNow() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

std::vector<std::pair<std::string, FileIdentity>> ListFileIdentities(const std::string& folder) {
  std::vector<std::pair<std::string, FileIdentity>> out;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    struct stat st;
    if (::stat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
      out.emplace_back(it->path().filename().string(), IdentityOf(st));
  }
  return out;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec)) names.push_back(it->path().filename().string());
  return names;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void CreateDirectories(const std::string& path) {
  if (path.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec || !IsDirectory(path)) throw Error(path + ": cannot create the folder: " + ec.message());
}

void MoveReplacing(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) Fail(to, "cannot be replaced", errno);
}

bool RemoveFile(const std::string& path) noexcept { return ::unlink(path.c_str()) == 0; }

bool RemoveEmptyDirectory(const std::string& path) noexcept { return ::rmdir(path.c_str()) == 0; }

bool DirectoryHasEntries(const std::string& path) {
  std::error_code ec;
  std::filesystem::directory_iterator it(path, ec);
  return !ec && it != std::filesystem::directory_iterator();
}

}  // namespace lk
