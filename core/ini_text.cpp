#include "core/ini_text.h"

#include <optional>
#include "core/ascii_case.h"

namespace lk {
namespace {

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

}  // namespace

std::string ReadIniText(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view fallback) {
  bool inSection = false;
  while (!text.empty()) {
    const auto eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      inSection = EqualsIgnoringAsciiCase(Trim(line.substr(1, line.size() - 2)), section);
      continue;
    }
    if (!inSection) continue;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (EqualsIgnoringAsciiCase(Trim(line.substr(0, eq)), key)) return std::string(Trim(line.substr(eq + 1)));
  }
  return std::string(fallback);
}

}  // namespace lk
