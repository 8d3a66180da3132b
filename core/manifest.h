#pragma once
// The update manifest: an INI-like text fetched over HTTP and kept in memory
// (`ManifestIni`), and the rule that turns a 200 body into its entries.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace lk {

// In-memory INI store. Section and key names match without regard to the
// case of the letters A to Z; writing an existing key replaces its value;
// reading an absent key yields the empty text. Never saved anywhere.
class ManifestIni {
 public:
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  std::string ReadString(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;
  // Section names as first written, in first-written order.
  std::vector<std::string> Sections() const;
  // Key names of a section as first written, in first-written order.
  std::vector<std::string> Keys(std::string_view section) const;
  void Clear();
  bool empty() const { return sections_.empty(); }

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;  // key as first written, value
    std::map<std::string, std::size_t> index;                 // folded key -> position
  };
  std::vector<Section> sections_;
  std::map<std::string, std::size_t> index_;  // folded section name -> position
};

// The body's text by its first bytes: EF BB BF (at least 3 bytes) UTF-8,
// else FF FE (at least 2 bytes) UTF-16 little-endian, else code page 936,
// whose text ends at the first NUL byte (so UTF-16 big-endian, or without a
// mark, gives no text rather than fragments between NULs).
// The byte-order mark is dropped; undecodable bytes become U+FFFD, and a
// body that yields no character at all gives the empty text.
std::string DecodeManifestBody(Bytes body);

// Reads a 200 body into store: lines end with CR LF, LF or CR; each line is
// trimmed of codes up to U+0020; "[name]" starts a section (the name is not
// trimmed again); after a non-empty section name a line with "=" is an
// entry split at its first "=", both halves trimmed; every other line is
// ignored. True when at least one entry line was seen. Entries are added to
// what store holds already. Never throws.
bool ReadManifestText(Bytes body, ManifestIni& store);

// What FetchManifest does with the answer to its GET: a 200 body is read
// into store (result: an entry line was seen); any other status leaves store
// as it was, gives false and the message to show, "请求失败，状态码：" and
// the status in decimal.
struct ManifestAnswer {
  bool entries = false;
  std::string message;  // empty unless the status was not 200
};
ManifestAnswer ReadManifestAnswer(int status, Bytes body, ManifestIni& store);

}  // namespace lk
