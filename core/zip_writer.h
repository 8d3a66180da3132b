#pragma once
// Writing ZIP archives for update sites: names in UTF-8 with the UTF-8 flag
// set, content deflated by zlib, streamed (the content is read in blocks and
// written once), ZIP64 records wherever a size, an offset or the entry count
// needs them.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"

namespace lk {

struct ZipWriterOptions {
  int level = 6;  // zlib compression level
  // Writes ZIP64 records even for small archives (tests of the readers).
  bool force_zip64 = false;
};

class ZipWriter {
 public:
  using Sink = std::function<void(Bytes)>;
  // Reads up to n bytes into the buffer; 0 at the end.
  using Reader = std::function<std::size_t(std::uint8_t* buffer, std::size_t n)>;

  explicit ZipWriter(Sink sink, ZipWriterOptions options = {});
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // A folder entry; "/" is appended when missing. Throws Error for a name
  // that is not UTF-8.
  void AddDirectory(std::string name);
  // A file entry whose content comes from read; size_hint (the expected
  // size) only decides whether ZIP64 records are needed up front.
  void AddFile(std::string name, const Reader& read, std::uint64_t size_hint);
  void AddFile(std::string name, Bytes content);
  // Writes the central directory; the archive is complete afterwards.
  void Finish();

  std::uint64_t bytes_written() const { return offset_; }

 private:
  struct Entry {
    std::string name;
    std::uint32_t crc = 0;
    std::uint64_t compressed = 0;
    std::uint64_t uncompressed = 0;
    std::uint64_t offset = 0;
    bool directory = false;
    bool zip64_local = false;
  };
  void Put(const std::vector<std::uint8_t>& bytes);
  void Put(Bytes bytes);
  void CheckName(const std::string& name) const;

  struct Deflater;
  std::unique_ptr<Deflater> deflater_;  // one zlib stream and buffers for all entries
  Sink sink_;
  ZipWriterOptions options_;
  std::vector<Entry> entries_;
  std::uint64_t offset_ = 0;
  bool finished_ = false;
};

}  // namespace lk
