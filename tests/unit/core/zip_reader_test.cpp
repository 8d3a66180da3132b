// ZIP reading over archives made by Info-ZIP, Python's zipfile and our own
// writer, and the checks that keep a damaged or hostile archive harmless.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "core/zip_reader.h"
#include "core/zip_writer.h"
#include "platform/error.h"
#include "tests/support/sample_bytes.h"
#include "tests/support/temp_dir.h"

namespace lk {
namespace {

using test::AllBytes;
using test::LongText;

// name -> content ("/" for a folder), every content read through the CRC
// check.
std::map<std::string, std::string> ReadArchive(const std::string& bytes) {
  MemoryZipSource source(AsBytes(bytes));
  ZipReader zip(source, "test.zip");
  std::map<std::string, std::string> out;
  for (const ZipEntry& e : zip.entries()) {
    EXPECT_FALSE(out.count(e.name)) << e.name;
    out[e.name] = e.is_directory ? "/" : zip.ReadAll(e);
  }
  return out;
}

std::string Fixture(const std::string& name) {
  const std::string bytes = test::ReadTestFile(test::FixturePath("zip/" + name));
  EXPECT_NE(bytes, "<missing>") << name;
  return bytes;
}

struct FixtureCase {
  const char* file;
  std::map<std::string, std::string> expected;
};

TEST(ZipReader, ReadsArchivesOfOtherTools) {
  const std::string text = LongText(), bytes = AllBytes();
  const FixtureCase cases[] = {
      // Info-ZIP on a UTF-8 system: UTF-8 names without the flag, stored
      // and deflated entries, folder entries.
      {"infozip.zip",
       {{"readme.txt", "hello\r\n"},
        {"空目录/", "/"},
        {"数据/", "/"},
        {"数据/说明.txt", text},
        {"数据/子目录/", "/"},
        {"数据/子目录/a.dat", bytes}}},
      // The same with ZIP64 extra fields on every entry.
      {"infozip_zip64.zip",
       {{"readme.txt", "hello\r\n"},
        {"空目录/", "/"},
        {"数据/", "/"},
        {"数据/说明.txt", text},
        {"数据/子目录/", "/"},
        {"数据/子目录/a.dat", bytes}}},
      // Written to a pipe: sizes and CRC in data descriptors.
      {"infozip_stream.zip",
       {{"readme.txt", "hello\r\n"},
        {"空目录/", "/"},
        {"数据/", "/"},
        {"数据/说明.txt", text},
        {"数据/子目录/", "/"},
        {"数据/子目录/a.dat", bytes}}},
      // Info-ZIP on a system with code page 936 file names.
      {"infozip_gbk.zip", {{"说明.txt", text}, {"数据/", "/"}, {"数据/游戏.ini", "[\xD3\xCE\xCF\xB7]\r\n"}}},
      {"python_utf8.zip",
       {{"readme.txt", "hello\r\n"}, {"数据/说明.txt", text}, {"数据/stored.bin", bytes}, {"空目录/", "/"}}},
      // Names in code page 936 without the UTF-8 flag, a "\" separator.
      {"python_gbk.zip",
       {{"说明.txt", text},
        {"数据\\游戏.ini", "[\xD3\xCE\xCF\xB7]\r\n\xC3\xFB\xD7\xD6=\xB2\xE2\xCA\xD4\r\n"},
        {"空目录/", "/"}}},
      {"python_zip64.zip", {{"大文件.bin", text}, {"small.txt", "zip64\n"}}},
      {"python_stream.zip", {{"流/说明.txt", text}, {"流/readme.txt", "hello\r\n"}}},
  };
  for (const FixtureCase& c : cases) {
    SCOPED_TRACE(c.file);
    std::map<std::string, std::string> got;
    ASSERT_NO_THROW(got = ReadArchive(Fixture(c.file)));
    EXPECT_EQ(got, c.expected);
  }
}

TEST(ZipReader, DamagedArchivesRaise) {
  // Bad CRC: the first entry reads, the second raises.
  {
    const std::string bytes = Fixture("bad_crc.zip");
    MemoryZipSource source(AsBytes(bytes));
    ZipReader zip(source, "bad_crc.zip");
    ASSERT_EQ(zip.entries().size(), 2u);
    EXPECT_EQ(zip.ReadAll(zip.entries()[0]), "first entry\n");
    try {
      zip.ReadAll(zip.entries()[1]);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("CRC-32 mismatch"), std::string::npos) << e.what();
    }
  }
  // Cut in the middle: no end record, so it is not an archive at all.
  {
    const std::string bytes = Fixture("truncated.zip");
    MemoryZipSource source(AsBytes(bytes));
    try {
      ZipReader zip(source, "truncated.zip");
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                "truncated.zip: not a readable ZIP archive (no end of central directory)");
    }
  }
  for (const std::string& bytes :
       {std::string(), std::string("PK"), std::string(100, '\0'), Fixture("../../../README.md")}) {
    MemoryZipSource source(AsBytes(bytes));
    EXPECT_THROW(ZipReader(source, "x"), Error);
  }
}

// Every prefix and many one-byte changes of a real archive either read
// completely or raise our error: never a crash, never a read outside the
// data (the sanitizers watch).
TEST(ZipReader, EveryTruncationAndCorruptionIsHandled) {
  for (const char* file : {"infozip_zip64.zip", "python_stream.zip", "python_gbk.zip"}) {
    const std::string whole = Fixture(file);
    for (std::size_t n = 0; n < whole.size(); ++n) {
      const std::string cut = whole.substr(0, n);
      try {
        ReadArchive(cut);
      } catch (const Error&) {
      }
    }
    std::mt19937 rng(42);
    for (int i = 0; i < 3000; ++i) {
      std::string bad = whole;
      bad[rng() % bad.size()] = static_cast<char>(rng());
      bad[rng() % bad.size()] = static_cast<char>(rng());
      try {
        ReadArchive(bad);
      } catch (const Error&) {
      }
    }
  }
}

std::string Write(const std::function<void(ZipWriter&)>& fill, ZipWriterOptions options = {}) {
  std::string out;
  ZipWriter w([&](Bytes b) { out.append(reinterpret_cast<const char*>(b.data()), b.size()); }, options);
  fill(w);
  w.Finish();
  return out;
}

TEST(ZipWriter, RoundTripsThroughTheReader) {
  std::string random(300000, '\0');
  std::mt19937 rng(7);
  for (char& c : random) c = static_cast<char>(rng());
  for (const bool zip64 : {false, true}) {
    SCOPED_TRACE(zip64 ? "ZIP64" : "plain");
    const std::string bytes = Write(
        [&](ZipWriter& w) {
          w.AddDirectory("空目录");
          w.AddFile("数据/说明.txt", AsBytes(LongText()));
          w.AddFile("empty.txt", AsBytes(""));
          w.AddFile("random.bin", AsBytes(random));
        },
        {6, zip64});
    const std::map<std::string, std::string> want = {
        {"空目录/", "/"}, {"数据/说明.txt", LongText()}, {"empty.txt", ""}, {"random.bin", random}};
    EXPECT_EQ(ReadArchive(bytes), want);
    MemoryZipSource source(AsBytes(bytes));
    ZipReader zip(source, "w.zip");
    for (const ZipEntry& e : zip.entries()) EXPECT_TRUE(e.flags & 0x0800) << e.name;
    // The ZIP64 end record is there exactly when asked for.
    EXPECT_EQ(bytes.find(std::string("PK\x06\x06", 4)) != std::string::npos, zip64);
  }
}

// When the compressed data is longer than one read block, the last input
// can be used up exactly as an output block fills, with the end of the
// stream still inside inflate: it must be called once more, not reported as
// data that ends early. Entry 363 of this family (half noise, half text, as
// game files are) does that with zlib's level 6; its neighbours do not.
TEST(ZipReader, OutputPendingAfterTheLastInputIsRead) {
  std::string noise(200000, '\0');
  std::uint32_t x = 1;
  for (char& c : noise) {
    x = (x * 1103515245u + 12345u) & 0x7fffffffu;
    c = static_cast<char>((x >> 16) & 0xff);
  }
  auto content = [&](std::size_t i) {
    const std::size_t size = 120000 + i * 211;
    std::string s = noise.substr(i * 97 % 50000, size / 2);
    std::string word("map tile ");
    word += std::to_string(i);
    word += ' ';
    while (s.size() < size) s += word;
    s.resize(size);
    return s;
  };
  const std::string bytes = Write([&](ZipWriter& w) {
    for (std::size_t i = 360; i < 366; ++i) w.AddFile(std::to_string(i), AsBytes(content(i)));
  });
  MemoryZipSource source(AsBytes(bytes));
  ZipReader zip(source, "pending.zip");
  ASSERT_EQ(zip.entries().size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    std::string got;
    ASSERT_NO_THROW(got = zip.ReadAll(zip.entries()[i])) << zip.entries()[i].name;
    EXPECT_TRUE(got == content(360 + i)) << i;
  }
}

TEST(ZipWriter, MoreEntriesThanTheClassicEndRecordHoldsUseZip64) {
  const std::size_t count = 70000;
  const std::string bytes = Write([&](ZipWriter& w) {
    for (std::size_t i = 0; i < count; ++i) {
      std::string name = std::to_string(i);
      name.insert(name.begin(), 'f');
      w.AddFile(name, AsBytes(i % 1000 ? "" : "x"));
    }
  });
  MemoryZipSource source(AsBytes(bytes));
  ZipReader zip(source, "many.zip");
  ASSERT_EQ(zip.entries().size(), count);
  EXPECT_EQ(zip.entries()[69999].name, "f69999");
  EXPECT_EQ(zip.ReadAll(zip.entries()[69000]), "x");
}

TEST(ZipReader, EntryLargerThanDeclaredIsStopped) {
  std::string bytes = Write([](ZipWriter& w) { w.AddFile("a.txt", AsBytes(LongText())); });
  // Declare 100 bytes in the central directory: inflating must stop there.
  const std::size_t cd = bytes.find(std::string("PK\x01\x02", 4));
  ASSERT_NE(cd, std::string::npos);
  bytes[cd + 24] = 100;
  bytes[cd + 25] = bytes[cd + 26] = bytes[cd + 27] = 0;
  MemoryZipSource source(AsBytes(bytes));
  ZipReader zip(source, "bomb.zip");
  std::size_t seen = 0;
  try {
    zip.Extract(zip.entries()[0], [&](Bytes b) { seen += b.size(); });
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("more data than its declared size"), std::string::npos) << e.what();
  }
  EXPECT_LE(seen, 100u);
}

TEST(ZipReader, OffsetsOutsideTheArchiveRaise) {
  const std::string good = Write([](ZipWriter& w) { w.AddFile("a.txt", AsBytes("abc")); });
  const std::size_t cd = good.find(std::string("PK\x01\x02", 4));
  const std::size_t end = good.find(std::string("PK\x05\x06", 4));
  struct Patch {
    std::size_t at;
    std::uint32_t value;
  };
  const Patch patches[] = {
      {end + 16, 0x7FFFFFFF},  // central directory offset
      {end + 12, 0x7FFFFFFF},  // central directory size
      {end + 10, 0xFFFF},      // entry count
      {cd + 28, 0xFFFF},       // name length
      {cd + 42, 0x7FFFFFF0},   // local header offset
      {cd + 20, 0x7FFFFFF0},   // compressed size
  };
  for (const Patch& p : patches) {
    std::string bytes = good;
    const int width = (p.at == end + 10 || p.at == cd + 28) ? 2 : 4;
    for (int k = 0; k < width; ++k) bytes[p.at + k] = static_cast<char>(p.value >> (8 * k));
    EXPECT_THROW(ReadArchive(bytes), Error) << p.at;
  }
}

}  // namespace
}  // namespace lk
