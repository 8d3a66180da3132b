#include <windows.h>

#include "platform/profile_file.h"
#include "platform/text.h"

namespace lk {
namespace {

// Splits a buffer of null-terminated names ended by an empty name.
std::vector<std::string> SplitMultiString(const wchar_t* p, DWORD len) {
  std::vector<std::string> out;
  const wchar_t* end = p + len;
  while (p < end && *p) {
    std::wstring_view name(p);
    out.push_back(Narrow(name));
    p += name.size() + 1;
  }
  return out;
}

// Reads a list of names with a buffer that grows until the list fits; the
// profile functions report "too small" as size - 2.
std::vector<std::string> ReadNames(const wchar_t* section, const std::wstring& file) {
  std::wstring buf(16384, L'\0');
  for (;;) {
    const DWORD n = GetPrivateProfileStringW(section, nullptr, L"", buf.data(),
                                             static_cast<DWORD>(buf.size()), file.c_str());
    if (n + 2 < buf.size() || buf.size() >= (1u << 24)) return SplitMultiString(buf.data(), n);
    buf.assign(buf.size() * 4, L'\0');
  }
}

}  // namespace

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& fallback) const {
  wchar_t buf[kMaxValueChars + 1];
  const std::wstring def = Wide(fallback);
  const DWORD n = GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), def.c_str(), buf,
                                           kMaxValueChars + 1, Wide(path_).c_str());
  return Narrow(std::wstring_view(buf, n));
}

bool ProfileFile::WriteString(const std::string& section, const std::string& key,
                              const std::string& value) {
  return WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(value).c_str(),
                                    Wide(path_).c_str()) != FALSE;
}

std::vector<std::string> ProfileFile::ReadSection(const std::string& section) const {
  return ReadNames(Wide(section).c_str(), Wide(path_));
}

std::vector<std::string> ProfileFile::ReadSections() const { return ReadNames(nullptr, Wide(path_)); }

bool ProfileFile::DeleteKey(const std::string& section, const std::string& key) {
  return WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), nullptr,
                                    Wide(path_).c_str()) != FALSE;
}

bool ProfileFile::EraseSection(const std::string& section) {
  return WritePrivateProfileStringW(Wide(section).c_str(), nullptr, nullptr, Wide(path_).c_str()) !=
         FALSE;
}

void ProfileFile::UpdateFile() { WritePrivateProfileStringW(nullptr, nullptr, nullptr, Wide(path_).c_str()); }

}  // namespace lk
