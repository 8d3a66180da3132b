#pragma once
// launcher-kit: the operator's tool. Every command is a function of its
// arguments that writes to the given streams and returns the exit code, so
// tests run commands in-process.
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace lk::kit {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* summary;  // one line for the overview
  const char* usage;    // full help text
  int (*run)(const Args& args, std::ostream& out, std::ostream& err);
};

// Runs "launcher-kit <args...>" (args exclude the program name).
int RunLauncherKit(const Args& args, std::ostream& out, std::ostream& err);

// A usage error: the command's help should follow the message.
class UsageError : public std::exception {
 public:
  explicit UsageError(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A UTF-8 path as std::filesystem takes it, and back (UTF-16 on Windows).
std::filesystem::path ToFs(const std::string& utf8);
std::string FromFs(const std::filesystem::path& path);

// Files as raw bytes, by UTF-8 path, on both platforms.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace lk::kit
