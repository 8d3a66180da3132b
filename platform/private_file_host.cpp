#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/error.h"
#include "platform/private_file.h"

namespace lk {
namespace {

[[noreturn]] void Fail(const std::string& path, const char* what, int code) {
  throw Error(path + ": " + what + ": " + std::strerror(code));
}

void WriteNew(const std::string& path, std::string_view bytes) {
  // The mode applies at creation, so the secret is never readable by others,
  // not even for a moment; a umask can only take bits away.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) Fail(path, "cannot create", errno);
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t done = ::write(fd, data, left);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) {
      const int code = errno;
      ::close(fd);
      ::unlink(path.c_str());
      Fail(path, "cannot write", code);
    }
    data += done;
    left -= static_cast<std::size_t>(done);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const int code = errno;
    ::unlink(path.c_str());
    Fail(path, "cannot write", code);
  }
}

}  // namespace

void WritePrivateFile(const std::string& path, std::string_view bytes, bool replace) {
  if (!replace) {
    WriteNew(path, bytes);
    return;
  }
  const std::string temp = path + ".new-" + std::to_string(::getpid());
  ::unlink(temp.c_str());
  WriteNew(temp, bytes);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int code = errno;
    ::unlink(temp.c_str());
    Fail(path, "cannot be replaced", code);
  }
}

}  // namespace lk
