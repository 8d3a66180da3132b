#include "platform/path_text.h"

namespace lk {
namespace {

std::size_t NameStart(std::string_view path) {
  const auto sep = path.find_last_of("\\/:");
  return sep == std::string_view::npos ? 0 : sep + 1;
}

}  // namespace

std::string ExtractFileFolder(std::string_view path) { return std::string(path.substr(0, NameStart(path))); }

std::string ExtractFileName(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string RemoveDotBackslash(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size();) {
    if (path.compare(i, 2, ".\\") == 0) {
      i += 2;
    } else {
      out += path[i++];
    }
  }
  return out;
}

std::string FileNameWithoutExtension(std::string_view path) {
  const std::string name = ExtractFileName(path);
  const auto dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace lk
