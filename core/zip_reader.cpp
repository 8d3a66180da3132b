#include "core/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "core/scope_exit.h"
#include "platform/error.h"
#include "platform/files.h"

namespace lk {
namespace {

constexpr std::uint32_t kLocalHeaderSig = 0x04034b50;
constexpr std::uint32_t kCentralHeaderSig = 0x02014b50;
constexpr std::uint32_t kEndSig = 0x06054b50;
constexpr std::uint32_t kZip64EndSig = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSig = 0x07064b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kExtraZip64 = 0x0001;
constexpr std::uint16_t kExtraUnicodePath = 0x7075;
constexpr std::size_t kBlock = 64 * 1024;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t U64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(U32(p)) | (static_cast<std::uint64_t>(U32(p + 4)) << 32);
}

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

struct EndRecord {
  std::uint64_t entries = 0;
  std::uint64_t cd_size = 0;
  std::uint64_t cd_offset = 0;
  std::uint64_t cd_limit = 0;  // where the central directory must end
};

}  // namespace

void MemoryZipSource::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  if (offset > bytes_.size() || n > bytes_.size() - offset)
    throw RangeError("read past the end of the archive");
  if (n) std::memcpy(out, bytes_.data() + offset, n);
}

FileZipSource::FileZipSource(InFile& file) : file_(file), size_(file.Size()) {}

void FileZipSource::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  file_.ReadAt(offset, out, n);
}

std::uint32_t Crc32(Bytes data, std::uint32_t crc) {
  while (!data.empty()) {
    const std::size_t n = std::min<std::size_t>(data.size(), 1u << 30);
    crc = static_cast<std::uint32_t>(::crc32(crc, data.data(), static_cast<uInt>(n)));
    data = data.subspan(n);
  }
  return crc;
}

ZipReader::ZipReader(ZipSource& source, std::string label) : source_(source), label_(std::move(label)) {
  auto bad = [this](const std::string& why) {
    return Error(label_ + ": not a readable ZIP archive (" + why + ")");
  };
  const std::uint64_t size = source_.Size();
  if (size < kEndSize) throw bad("too short");

  // The end record sits in the last 22 bytes plus at most a 65535-byte
  // comment; search backwards for a signature whose comment fits.
  const std::size_t tail_len = static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndSize + 0xFFFF));
  std::vector<std::uint8_t> tail(tail_len);
  const std::uint64_t tail_start = size - tail_len;
  source_.ReadAt(tail_start, tail.data(), tail_len);
  std::size_t end_pos = std::numeric_limits<std::size_t>::max();
  for (std::size_t i = tail_len - kEndSize + 1; i-- > 0;) {
    if (U32(&tail[i]) == kEndSig && i + kEndSize + U16(&tail[i + 20]) <= tail_len) {
      end_pos = i;
      break;
    }
  }
  if (end_pos == std::numeric_limits<std::size_t>::max()) throw bad("no end of central directory");
  const std::uint8_t* e = &tail[end_pos];
  if (U16(e + 4) != 0 || U16(e + 6) != 0) throw bad("spanned archives are not supported");
  EndRecord end;
  end.entries = U16(e + 10);
  end.cd_size = U32(e + 12);
  end.cd_offset = U32(e + 16);
  end.cd_limit = tail_start + end_pos;

  // ZIP64: a locator right before the end record points to the ZIP64 end
  // record, whose 64-bit values replace the 16- and 32-bit ones.
  const std::uint64_t end_abs = tail_start + end_pos;
  if (end_abs >= kZip64LocatorSize) {
    std::array<std::uint8_t, kZip64LocatorSize> loc;
    source_.ReadAt(end_abs - kZip64LocatorSize, loc.data(), loc.size());
    if (U32(loc.data()) == kZip64LocatorSig) {
      if (U32(loc.data() + 4) != 0 || U32(loc.data() + 16) > 1)
        throw bad("spanned archives are not supported");
      const std::uint64_t z64 = U64(loc.data() + 8);
      const std::uint64_t limit = end_abs - kZip64LocatorSize;
      if (z64 > limit || limit - z64 < kZip64EndSize) throw bad("ZIP64 end record out of range");
      std::array<std::uint8_t, kZip64EndSize> r;
      source_.ReadAt(z64, r.data(), r.size());
      if (U32(r.data()) != kZip64EndSig) throw bad("ZIP64 end record signature");
      if (U32(r.data() + 16) != 0 || U32(r.data() + 20) != 0) throw bad("spanned archives are not supported");
      end.entries = U64(r.data() + 32);
      end.cd_size = U64(r.data() + 40);
      end.cd_offset = U64(r.data() + 48);
      end.cd_limit = z64;
    }
  }
  if (end.cd_offset > end.cd_limit || end.cd_size > end.cd_limit - end.cd_offset)
    throw bad("central directory out of range");
  if (end.entries > end.cd_size / kCentralHeaderSize)
    throw bad("entry count larger than the central directory");

  std::vector<std::uint8_t> cd(static_cast<std::size_t>(end.cd_size));
  source_.ReadAt(end.cd_offset, cd.data(), cd.size());
  entries_.reserve(static_cast<std::size_t>(end.entries));
  std::size_t pos = 0;
  for (std::uint64_t index = 0; index < end.entries; ++index) {
    if (cd.size() - pos < kCentralHeaderSize) throw bad("central directory ends early");
    const std::uint8_t* h = &cd[pos];
    if (U32(h) != kCentralHeaderSig) throw bad("central directory header signature");
    const std::size_t name_len = U16(h + 28), extra_len = U16(h + 30), comment_len = U16(h + 32);
    if (cd.size() - pos - kCentralHeaderSize < name_len + extra_len + comment_len)
      throw bad("central directory header longer than the directory");
    ZipEntry entry;
    entry.flags = U16(h + 8);
    entry.method = U16(h + 10);
    entry.crc32 = U32(h + 16);
    entry.compressed_size = U32(h + 20);
    entry.uncompressed_size = U32(h + 24);
    entry.local_header_offset = U32(h + 42);
    const std::uint16_t disk = U16(h + 34);
    const bool made_on_unix = h[5] == 3 || h[5] == 19;  // Unix, macOS
    const std::string raw_name(reinterpret_cast<const char*>(h + kCentralHeaderSize), name_len);
    const std::uint8_t* extra = h + kCentralHeaderSize + name_len;
    std::string unicode_path;
    bool have_unicode_path = false;
    for (std::size_t x = 0; x + 4 <= extra_len;) {
      const std::uint16_t id = U16(extra + x);
      const std::size_t len = U16(extra + x + 2);
      if (extra_len - x - 4 < len) throw bad("extra field longer than its header");
      const std::uint8_t* d = extra + x + 4;
      if (id == kExtraZip64) {
        // Only the fields whose 32-bit value is all ones appear, in order.
        std::size_t at = 0;
        auto take = [&](std::uint64_t& field) {
          if (len - at < 8) throw bad("ZIP64 field too short");
          field = U64(d + at);
          at += 8;
        };
        if (entry.uncompressed_size == 0xFFFFFFFFu) take(entry.uncompressed_size);
        if (entry.compressed_size == 0xFFFFFFFFu) take(entry.compressed_size);
        if (entry.local_header_offset == 0xFFFFFFFFu) take(entry.local_header_offset);
      } else if (id == kExtraUnicodePath && len >= 5 && d[0] == 1) {
        // Info-ZIP's UTF-8 name, valid only while the stored name it was
        // made for is unchanged (its CRC-32 matches).
        if (U32(d + 1) == Crc32(AsBytes(raw_name))) {
          unicode_path.assign(reinterpret_cast<const char*>(d + 5), len - 5);
          have_unicode_path = IsValidUtf8(unicode_path);
        }
      }
      x += 4 + len;
    }
    if (disk != 0 && disk != 0xFFFF) throw bad("spanned archives are not supported");

    if (entry.flags & kFlagUtf8) {
      if (!IsValidUtf8(raw_name)) throw bad("entry name is not valid UTF-8");
      entry.name = raw_name;
    } else if (have_unicode_path) {
      entry.name = unicode_path;
    } else if (IsAscii(raw_name)) {
      entry.name = raw_name;
    } else if (made_on_unix && IsValidUtf8(raw_name)) {
      // Info-ZIP on a UTF-8 system stores its names as UTF-8 without the
      // flag; Chinese text in code page 936 is almost never valid UTF-8.
      entry.name = raw_name;
    } else {
      try {
        entry.name = GbkToUtf8(raw_name);
      } catch (const EncodingError&) {
        throw bad("entry name is not valid in code page 936");
      }
    }
    entry.is_directory = !entry.name.empty() && (entry.name.back() == '/' || entry.name.back() == '\\');
    if (entry.local_header_offset >= end.cd_offset) throw bad("entry data after the central directory");
    entries_.push_back(std::move(entry));
    pos += kCentralHeaderSize + name_len + extra_len + comment_len;
  }
}

void ZipReader::Extract(const ZipEntry& entry, const std::function<void(Bytes)>& sink) const {
  auto bad = [&](const std::string& why) { return Error(label_ + ": entry \"" + entry.name + "\": " + why); };
  if (entry.is_directory) return;
  if (entry.flags & kFlagEncrypted) throw bad("encrypted entries are not supported");
  if (entry.method != 0 && entry.method != 8)
    throw bad("compression method " + std::to_string(entry.method) + " is not supported");

  const std::uint64_t size = source_.Size();
  if (entry.local_header_offset > size || size - entry.local_header_offset < kLocalHeaderSize)
    throw bad("local header out of range");
  std::array<std::uint8_t, kLocalHeaderSize> lh;
  source_.ReadAt(entry.local_header_offset, lh.data(), lh.size());
  if (U32(lh.data()) != kLocalHeaderSig) throw bad("local header signature");
  const std::uint64_t data_start =
      entry.local_header_offset + kLocalHeaderSize + U16(lh.data() + 26) + U16(lh.data() + 28);
  if (data_start > size || size - data_start < entry.compressed_size) throw bad("data out of range");

  std::vector<std::uint8_t> in(kBlock);
  std::uint32_t crc = 0;
  std::uint64_t produced = 0;
  std::uint64_t left = entry.compressed_size;
  std::uint64_t at = data_start;

  if (entry.method == 0) {
    if (entry.compressed_size != entry.uncompressed_size) throw bad("stored sizes differ");
    while (left > 0) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kBlock));
      source_.ReadAt(at, in.data(), n);
      at += n;
      left -= n;
      const Bytes chunk(in.data(), n);
      crc = Crc32(chunk, crc);
      produced += n;
      sink(chunk);
    }
  } else {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw bad("zlib cannot start");
    ScopeExit end_guard([&z] { inflateEnd(&z); });
    std::vector<std::uint8_t> out(kBlock);
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
      // Input runs out before output: inflate may still hold output from
      // the last block, so it is called again before the data counts as
      // ended early (it then answers Z_BUF_ERROR).
      if (z.avail_in == 0 && left > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kBlock));
        source_.ReadAt(at, in.data(), n);
        at += n;
        left -= n;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
      }
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&z, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) throw bad("damaged compressed data");
      const std::size_t n = out.size() - z.avail_out;
      if (n > entry.uncompressed_size - produced) throw bad("more data than its declared size");
      if (n) {
        const Bytes chunk(out.data(), n);
        crc = Crc32(chunk, crc);
        produced += n;
        sink(chunk);
      }
      if (rc == Z_BUF_ERROR) {
        // No progress was possible with fresh output space.
        if (z.avail_in != 0) throw bad("damaged compressed data");
        if (left == 0) throw bad("compressed data ends early");
      }
    }
  }
  if (produced != entry.uncompressed_size) throw bad("less data than its declared size");
  if (crc != entry.crc32) throw bad("CRC-32 mismatch");
}

std::string ZipReader::ReadAll(const ZipEntry& entry) const {
  std::string all;
  Extract(entry, [&](Bytes b) { all.append(reinterpret_cast<const char*>(b.data()), b.size()); });
  return all;
}

}  // namespace lk
