#pragma once
// Reading ZIP archives (stored and deflated entries, data descriptors,
// ZIP64) over zlib. Archives come from an update server, so every offset and
// length is checked against the archive before it is used, every entry's
// CRC-32 is checked, and an entry never inflates past its declared size.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace lk {

class InFile;

// Random access to the archive's bytes.
class ZipSource {
 public:
  virtual ~ZipSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Exactly n bytes at offset, or an exception.
  virtual void ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) = 0;
};

class MemoryZipSource final : public ZipSource {
 public:
  explicit MemoryZipSource(Bytes bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  void ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;

 private:
  Bytes bytes_;
};

class FileZipSource final : public ZipSource {
 public:
  explicit FileZipSource(InFile& file);
  std::uint64_t Size() const override { return size_; }
  void ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;

 private:
  InFile& file_;
  std::uint64_t size_;
};

struct ZipEntry {
  std::string name;  // UTF-8, as stored (both separators possible)
  bool is_directory = false;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t crc32 = 0;
  std::uint64_t compressed_size = 0;
  std::uint64_t uncompressed_size = 0;
  std::uint64_t local_header_offset = 0;
};

class ZipReader {
 public:
  // Reads the central directory. Entry names are UTF-8 when the UTF-8 flag
  // is set or an Info-ZIP Unicode path field matches the name; an archive
  // made on Unix whose name is valid UTF-8 is read as UTF-8 too (Info-ZIP
  // stores names that way without the flag); every other name is code page
  // 936, as Chinese Windows tools write it. Throws Error naming `label`
  // (the archive's path) when the bytes are not a readable ZIP archive.
  ZipReader(ZipSource& source, std::string label);

  const std::vector<ZipEntry>& entries() const { return entries_; }

  // Streams the entry's content to sink in blocks of at most 64 KiB; memory
  // stays bounded whatever the entry's size. Throws Error on damaged data,
  // a size or CRC-32 that does not match, or an unsupported method; the
  // sink has then seen part of the content only.
  void Extract(const ZipEntry& entry, const std::function<void(Bytes)>& sink) const;

  // Convenience for small entries (tests, tools).
  std::string ReadAll(const ZipEntry& entry) const;

 private:
  ZipSource& source_;
  std::string label_;
  std::vector<ZipEntry> entries_;
};

// CRC-32 as ZIP uses it (zlib's crc32).
std::uint32_t Crc32(Bytes data, std::uint32_t crc = 0);

}  // namespace lk
