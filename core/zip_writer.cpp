#include "core/zip_writer.h"

#include <zlib.h>

#include "core/zip_reader.h"
#include "platform/error.h"

namespace lk {
namespace {

constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;
// Deflate can grow incompressible data a little; a file this close to 4 GiB
// gets ZIP64 local records before its compressed size is known.
constexpr std::uint64_t kZip64Threshold = 0xFF000000u;
// 1980-01-01 00:00: every archive of the same files is the same bytes.
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;

class Out {
 public:
  void u16(std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void u32(std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void u64(std::uint64_t v) {
    u32(static_cast<std::uint32_t>(v));
    u32(static_cast<std::uint32_t>(v >> 32));
  }
  void text(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
  std::vector<std::uint8_t> b;
};

std::uint32_t Clamp32(std::uint64_t v) { return v >= kMax32 ? kMax32 : static_cast<std::uint32_t>(v); }

}  // namespace

struct ZipWriter::Deflater {
  explicit Deflater(int level) : in(256 * 1024), out(256 * 1024) {
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw Error("zlib cannot start");
  }
  ~Deflater() { deflateEnd(&z); }
  z_stream z{};
  std::vector<std::uint8_t> in, out;
};

ZipWriter::ZipWriter(Sink sink, ZipWriterOptions options)
    : deflater_(std::make_unique<Deflater>(options.level)), sink_(std::move(sink)), options_(options) {}
ZipWriter::~ZipWriter() = default;

void ZipWriter::Put(const std::vector<std::uint8_t>& bytes) { Put(Bytes(bytes.data(), bytes.size())); }

void ZipWriter::Put(Bytes bytes) {
  if (bytes.empty()) return;
  sink_(bytes);
  offset_ += bytes.size();
}

void ZipWriter::CheckName(const std::string& name) const {
  if (finished_) throw Error("ZIP archive already finished");
  if (name.empty() || name.size() > 0xFFFF) throw Error("ZIP entry name empty or too long");
  if (!IsValidUtf8(name)) throw Error("ZIP entry name \"" + name + "\" is not UTF-8");
}

void ZipWriter::AddDirectory(std::string name) {
  if (!name.empty() && name.back() == '\\') name.back() = '/';
  if (name.empty() || name.back() != '/') name += '/';
  CheckName(name);
  Entry e;
  e.name = name;
  e.directory = true;
  e.offset = offset_;
  Out h;
  h.u32(0x04034b50);
  h.u16(20);
  h.u16(kFlagUtf8);
  h.u16(0);
  h.u16(kDosTime);
  h.u16(kDosDate);
  h.u32(0);
  h.u32(0);
  h.u32(0);
  h.u16(static_cast<std::uint32_t>(name.size()));
  h.u16(0);
  h.text(name);
  Put(h.b);
  entries_.push_back(std::move(e));
}

void ZipWriter::AddFile(std::string name, Bytes content) {
  std::size_t at = 0;
  AddFile(
      std::move(name),
      [&](std::uint8_t* buffer, std::size_t n) {
        const std::size_t k = std::min(n, content.size() - at);
        std::copy_n(content.data() + at, k, buffer);
        at += k;
        return k;
      },
      content.size());
}

void ZipWriter::AddFile(std::string name, const Reader& read, std::uint64_t size_hint) {
  CheckName(name);
  Entry e;
  e.name = name;
  e.offset = offset_;
  e.zip64_local = options_.force_zip64 || size_hint >= kZip64Threshold;

  // Sizes and CRC follow the data in a descriptor, so the content is read
  // and written in one pass.
  Out h;
  h.u32(0x04034b50);
  h.u16(e.zip64_local ? 45 : 20);
  h.u16(kFlagUtf8 | kFlagDescriptor);
  h.u16(8);
  h.u16(kDosTime);
  h.u16(kDosDate);
  h.u32(0);
  h.u32(e.zip64_local ? kMax32 : 0);
  h.u32(e.zip64_local ? kMax32 : 0);
  h.u16(static_cast<std::uint32_t>(name.size()));
  h.u16(e.zip64_local ? 20 : 0);
  h.text(name);
  if (e.zip64_local) {
    h.u16(0x0001);
    h.u16(16);
    h.u64(0);
    h.u64(0);
  }
  Put(h.b);

  z_stream& z = deflater_->z;
  if (deflateReset(&z) != Z_OK) throw Error("zlib deflate failed");
  std::vector<std::uint8_t>& in = deflater_->in;
  std::vector<std::uint8_t>& out = deflater_->out;
  int flush = Z_NO_FLUSH;
  while (flush != Z_FINISH) {
    const std::size_t n = read(in.data(), in.size());
    if (n == 0) flush = Z_FINISH;
    e.crc = Crc32(Bytes(in.data(), n), e.crc);
    e.uncompressed += n;
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(n);
    int rc;
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      rc = deflate(&z, flush);
      if (rc == Z_STREAM_ERROR) throw Error("zlib deflate failed");
      const std::size_t made = out.size() - z.avail_out;
      e.compressed += made;
      Put(Bytes(out.data(), made));
    } while (z.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
  }
  if (!e.zip64_local && (e.uncompressed >= kMax32 || e.compressed >= kMax32))
    throw Error("ZIP entry \"" + name + "\" grew past 4 GiB without ZIP64 records");

  Out d;
  d.u32(0x08074b50);
  d.u32(e.crc);
  if (e.zip64_local) {
    d.u64(e.compressed);
    d.u64(e.uncompressed);
  } else {
    d.u32(static_cast<std::uint32_t>(e.compressed));
    d.u32(static_cast<std::uint32_t>(e.uncompressed));
  }
  Put(d.b);
  entries_.push_back(std::move(e));
}

void ZipWriter::Finish() {
  if (finished_) return;
  const std::uint64_t cd_start = offset_;
  for (const Entry& e : entries_) {
    const bool big =
        options_.force_zip64 || e.uncompressed >= kMax32 || e.compressed >= kMax32 || e.offset >= kMax32;
    Out x;  // ZIP64 extra: all three values whenever any is needed
    if (big) {
      x.u16(0x0001);
      x.u16(24);
      x.u64(e.uncompressed);
      x.u64(e.compressed);
      x.u64(e.offset);
    }
    Out h;
    h.u32(0x02014b50);
    // "Made by Unix", as Info-ZIP and Python write on Linux: Info-ZIP's
    // unzip converts the names of archives made by MS-DOS from the OEM code
    // page even when the UTF-8 flag is set. Windows tools follow the flag.
    h.u16((3u << 8) | (big || e.zip64_local ? 45u : 20u));
    h.u16(big || e.zip64_local ? 45 : 20);
    h.u16(e.directory ? kFlagUtf8 : (kFlagUtf8 | kFlagDescriptor));
    h.u16(e.directory ? 0 : 8);
    h.u16(kDosTime);
    h.u16(kDosDate);
    h.u32(e.crc);
    h.u32(big ? kMax32 : Clamp32(e.compressed));
    h.u32(big ? kMax32 : Clamp32(e.uncompressed));
    h.u16(static_cast<std::uint32_t>(e.name.size()));
    h.u16(static_cast<std::uint32_t>(x.b.size()));
    h.u16(0);
    h.u16(0);
    h.u16(0);
    // Unix mode in the high half, DOS attributes in the low half.
    h.u32(e.directory ? ((040755u << 16) | 0x10u) : ((0100644u << 16) | 0x20u));
    h.u32(big ? kMax32 : Clamp32(e.offset));
    h.text(e.name);
    h.b.insert(h.b.end(), x.b.begin(), x.b.end());
    Put(h.b);
  }
  const std::uint64_t cd_size = offset_ - cd_start;
  const std::uint64_t count = entries_.size();
  const bool zip64_end = options_.force_zip64 || count >= 0xFFFF || cd_size >= kMax32 || cd_start >= kMax32;
  Out end;
  if (zip64_end) {
    const std::uint64_t z64 = offset_;
    end.u32(0x06064b50);
    end.u64(44);
    end.u16(45);
    end.u16(45);
    end.u32(0);
    end.u32(0);
    end.u64(count);
    end.u64(count);
    end.u64(cd_size);
    end.u64(cd_start);
    end.u32(0x07064b50);
    end.u32(0);
    end.u64(z64);
    end.u32(1);
  }
  end.u32(0x06054b50);
  end.u16(0);
  end.u16(0);
  end.u16(zip64_end ? 0xFFFF : static_cast<std::uint32_t>(count));
  end.u16(zip64_end ? 0xFFFF : static_cast<std::uint32_t>(count));
  end.u32(zip64_end ? kMax32 : static_cast<std::uint32_t>(cd_size));
  end.u32(zip64_end ? kMax32 : static_cast<std::uint32_t>(cd_start));
  end.u16(0);
  Put(end.b);
  finished_ = true;
}

}  // namespace lk
