// Digests of local files, unpacking update archives and tidying folders,
// against real files in a temp folder (host, and Windows under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/update_files.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/path_text.h"
#include "platform/sha256.h"
#include "tests/support/sample_bytes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_fixture.h"

namespace lk {
namespace {

using test::AllBytes;
using test::LongText;
using test::PathOf;
using test::ReadTestFile;
using test::WriteTestFile;

void CopyFixture(const std::string& name, const std::string& to) {
  WriteTestFile(to, ReadTestFile(test::FixturePath("zip/" + name)));
}

// Every file below root (relative, "/"-separated), to find stray temporary
// files and writes outside the target.
std::vector<std::string> Tree(const std::string& root) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(PathOf(root))) {
    std::string rel = test::Utf8Of(std::filesystem::relative(e.path(), PathOf(root)));
    for (char& c : rel)
      if (c == '\\') c = '/';
    out.push_back(rel + (e.is_directory() ? "/" : ""));
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(FileDigest, HashesWholeFilesAndNeverRaises) {
  test::PortableTempDir dir;
  WriteTestFile(dir.File("abc.txt"), "abc");
  WriteTestFile(dir.File("empty.txt"), "");
  EXPECT_EQ(FileDigest(dir.File("abc.txt")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(FileDigest(dir.File("empty.txt")),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(FileDigest(dir.File("missing.txt")), "");
  EXPECT_EQ(FileDigest(dir.path()), "");
  EXPECT_EQ(FileDigest(""), "");
  // Larger than one read block: the digest of the concatenation, the same
  // as a one-shot hash of the bytes.
  std::string big(3 * 1024 * 1024 + 17, 'x');
  for (std::size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i / 4096);
  WriteTestFile(dir.File("big.bin"), big);
  std::string in_memory;
  {
    Sha256 h;
    h.Update(AsBytes(big));
    const Sha256Digest d = h.Final();
    in_memory = ToLowerHex(Bytes(d.data(), d.size()));
  }
  EXPECT_EQ(FileDigest(dir.File("big.bin")), in_memory);
}

TEST(FileDigest, ManyFilesComeBackInTheCallersOrder) {
  test::PortableTempDir dir;
  std::vector<std::string> paths;
  for (int i = 0; i < 40; ++i) {
    paths.push_back(dir.File("数据/f" + std::to_string(i) + ".dat"));
    WriteTestFile(paths.back(), std::string(1000 + i * 3000, static_cast<char>('a' + i % 26)));
  }
  paths.insert(paths.begin() + 5, dir.File("missing.dat"));
  const std::vector<std::string> many = FileDigests(paths);
  ASSERT_EQ(many.size(), paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(many[i], FileDigest(paths[i])) << i;
  EXPECT_EQ(many[5], "");
  EXPECT_NE(many[0], many[1]);
  EXPECT_TRUE(FileDigests({}).empty());
}

struct ExtractCase {
  const char* fixture;
  std::vector<std::string> tree;  // after unpacking, folders end in "/"
};

TEST(ExtractPackage, UnpacksArchivesOfOtherToolsAndDeletesThem) {
  const ExtractCase cases[] = {
      {"infozip.zip",
       {"readme.txt", "数据/", "数据/说明.txt", "数据/子目录/", "数据/子目录/a.dat", "空目录/"}},
      {"infozip_zip64.zip",
       {"readme.txt", "数据/", "数据/说明.txt", "数据/子目录/", "数据/子目录/a.dat", "空目录/"}},
      {"infozip_stream.zip",
       {"readme.txt", "数据/", "数据/说明.txt", "数据/子目录/", "数据/子目录/a.dat", "空目录/"}},
      {"infozip_gbk.zip", {"数据/", "数据/游戏.ini", "说明.txt"}},
      {"python_utf8.zip", {"readme.txt", "数据/", "数据/stored.bin", "数据/说明.txt", "空目录/"}},
      {"python_gbk.zip", {"数据/", "数据/游戏.ini", "空目录/", "说明.txt"}},
      {"python_zip64.zip", {"small.txt", "大文件.bin"}},
      {"python_stream.zip", {"流/", "流/readme.txt", "流/说明.txt"}},
  };
  for (const ExtractCase& c : cases) {
    SCOPED_TRACE(c.fixture);
    test::PortableTempDir dir;
    const std::string archive = dir.File("Patch/" + std::string(c.fixture));
    CopyFixture(c.fixture, archive);
    const std::string target = dir.File("游戏/新目录");
    ASSERT_NO_THROW(ExtractPackage(archive, target));
    EXPECT_FALSE(PathExists(archive));
    std::vector<std::string> want = c.tree;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(Tree(target), want);
  }
  // Contents, through the CRC-checked path and the rename into place.
  test::PortableTempDir dir;
  CopyFixture("infozip.zip", dir.File("a.zip"));
  ExtractPackage(dir.File("a.zip"), dir.File("out"));
  EXPECT_EQ(ReadTestFile(dir.File("out/数据/说明.txt")), LongText());
  EXPECT_EQ(ReadTestFile(dir.File("out/数据/子目录/a.dat")), AllBytes());
  EXPECT_EQ(ReadTestFile(dir.File("out/readme.txt")), "hello\r\n");
  CopyFixture("python_gbk.zip", dir.File("b.zip"));
  ExtractPackage(dir.File("b.zip"), dir.File("gbk"));
  EXPECT_EQ(ReadTestFile(dir.File("gbk/数据/游戏.ini")),
            "[\xD3\xCE\xCF\xB7]\r\n\xC3\xFB\xD7\xD6=\xB2\xE2\xCA\xD4\r\n");
}

TEST(ExtractPackage, ReplacesExistingFilesAndKeepsOthers) {
  test::PortableTempDir dir;
  WriteTestFile(dir.File("game/readme.txt"), "old readme, longer than the new one");
  WriteTestFile(dir.File("game/keep.txt"), "untouched");
  CopyFixture("python_utf8.zip", dir.File("p.zip"));
  ExtractPackage(dir.File("p.zip"), dir.File("game"));
  EXPECT_EQ(ReadTestFile(dir.File("game/readme.txt")), "hello\r\n");
  EXPECT_EQ(ReadTestFile(dir.File("game/keep.txt")), "untouched");
}

TEST(ExtractPackage, MissingArchiveStillCreatesTheFolder) {
  test::PortableTempDir dir;
  const std::string target = dir.File("a/b/c");
  ExtractPackage(dir.File("nothing.zip"), target);
  EXPECT_TRUE(IsDirectory(target));
  // Trailing separator and ".\" segments, as update targets are written.
  const std::string dotted = dir.path() + kPathSeparator + "." + kPathSeparator + "data" + kPathSeparator;
  ExtractPackage(dir.File("nothing.zip"), dotted);
  EXPECT_TRUE(IsDirectory(dir.File("data")));
}

TEST(ExtractPackage, ImpossibleFolderRaises) {
  test::PortableTempDir dir;
  WriteTestFile(dir.File("file.txt"), "a file where a folder should be");
  CopyFixture("python_utf8.zip", dir.File("p.zip"));
  EXPECT_THROW(ExtractPackage(dir.File("p.zip"), dir.File("file.txt/sub")), Error);
  EXPECT_TRUE(PathExists(dir.File("p.zip")));
}

TEST(ExtractPackage, UnsafeNamesRefuseTheWholeArchive) {
  const char* names[] = {"../evil.txt", "..\\evil.txt", "C:\\evil.txt", "\\\\server\\share\\evil.txt",
                         "a:b",         "CON",          "nul.txt",      "sub/../../evil.txt",
                         "/evil.txt"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    test::PortableTempDir dir;
    const std::string archive = dir.File("slip.zip");
    test::WriteZip(archive, {{"good.txt", "good"}, {name, "evil"}});
    try {
      ExtractPackage(archive, dir.File("target/inner"));
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("unsafe name"), std::string::npos) << e.what();
    }
    // Nothing was written, inside or outside; the archive stays.
    EXPECT_EQ(Tree(dir.path()), (std::vector<std::string>{"slip.zip", "target/", "target/inner/"}));
  }
  test::PortableTempDir dir;
  CopyFixture("python_slip.zip", dir.File("s.zip"));
  EXPECT_THROW(ExtractPackage(dir.File("s.zip"), dir.File("t")), Error);
  EXPECT_EQ(Tree(dir.path()), (std::vector<std::string>{"s.zip", "t/"}));
}

TEST(ExtractPackage, DamagedArchiveLeavesNoHalfWrittenFile) {
  // Bad CRC in the second entry: nothing is replaced (the first entry was
  // complete, but an archive is applied whole or not at all), no temporary
  // file stays, the archive is kept.
  {
    test::PortableTempDir dir;
    WriteTestFile(dir.File("t/second.txt"), "old second");
    CopyFixture("bad_crc.zip", dir.File("bad.zip"));
    try {
      ExtractPackage(dir.File("bad.zip"), dir.File("t"));
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("CRC-32 mismatch"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(PathExists(dir.File("t/first.txt")));
    EXPECT_EQ(ReadTestFile(dir.File("t/second.txt")), "old second");
    EXPECT_EQ(Tree(dir.path()), (std::vector<std::string>{"bad.zip", "t/", "t/second.txt"}));
  }
  // Truncated: not an archive; nothing written, archive kept.
  {
    test::PortableTempDir dir;
    WriteTestFile(dir.File("t/first.txt"), "old first");
    CopyFixture("truncated.zip", dir.File("cut.zip"));
    EXPECT_THROW(ExtractPackage(dir.File("cut.zip"), dir.File("t")), Error);
    EXPECT_EQ(ReadTestFile(dir.File("t/first.txt")), "old first");
    EXPECT_EQ(Tree(dir.path()), (std::vector<std::string>{"cut.zip", "t/", "t/first.txt"}));
  }
  // Cut inside the data of a large entry while its end record survives:
  // the entry's data now runs past the end.
  {
    test::PortableTempDir dir;
    const std::string bytes = test::WriteZip(dir.File("whole.zip"), {{"big.txt", LongText()}});
    const std::size_t cd = bytes.find(std::string("PK\x01\x02", 4));
    std::string cut = bytes.substr(0, 60) + bytes.substr(cd);
    // Move the central directory offset back by the bytes taken out.
    const std::uint32_t new_cd = 60;
    const std::size_t end = cut.find(std::string("PK\x05\x06", 4));
    for (int k = 0; k < 4; ++k) cut[end + 16 + k] = static_cast<char>(new_cd >> (8 * k));
    WriteTestFile(dir.File("cut.zip"), cut);
    WriteTestFile(dir.File("t/big.txt"), "old big");
    EXPECT_THROW(ExtractPackage(dir.File("cut.zip"), dir.File("t")), Error);
    EXPECT_EQ(ReadTestFile(dir.File("t/big.txt")), "old big");
    EXPECT_EQ(Tree(dir.File("t")), (std::vector<std::string>{"big.txt"}));
  }
}

std::string Sha(const std::string& content) {
  const Sha256Digest d = ComputeSha256(AsBytes(content));
  return ToLowerHex(Bytes(d.data(), d.size()));
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'a' && c <= 'f' ? c - 32 : c; });
  return s;
}

TEST(ExtractPackage, ExpectedDigestsDecideWhetherAnythingIsReplaced) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> expected;
    bool applied;
  };
  const Case cases[] = {
      {"matching digest, letter case of the name ignored", {{"SUB/B.DAT", Sha("new b")}}, true},
      {"two matching digests", {{"a.txt", Sha("new a")}, {"sub/b.dat", Sha("new b")}}, true},
      {"a digest that differs", {{"sub/b.dat", Sha("something else")}}, false},
      {"an uppercase digest never matches", {{"a.txt", Upper(Sha("new a"))}}, false},
      {"a named file the archive lacks", {{"sub/missing.dat", Sha("")}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::PortableTempDir dir;
    WriteTestFile(dir.File("t/a.txt"), "old a");
    WriteTestFile(dir.File("t/sub/b.dat"), "old b");
    test::WriteZip(dir.File("u.zip"), {{"a.txt", "new a"}, {"sub/b.dat", "new b"}, {"c.txt", "new c"}});
    ExtractOptions options;
    options.expected = c.expected;
    if (c.applied) {
      ExtractPackage(dir.File("u.zip"), dir.File("t"), options);
      EXPECT_EQ(ReadTestFile(dir.File("t/a.txt")), "new a");
      EXPECT_EQ(ReadTestFile(dir.File("t/sub/b.dat")), "new b");
      EXPECT_EQ(Tree(dir.path()), (std::vector<std::string>{"t/", "t/a.txt", "t/c.txt", "t/sub/", "t/sub/b.dat"}));
    } else {
      EXPECT_THROW(ExtractPackage(dir.File("u.zip"), dir.File("t"), options), DigestMismatchError);
      EXPECT_EQ(ReadTestFile(dir.File("t/a.txt")), "old a");
      EXPECT_EQ(ReadTestFile(dir.File("t/sub/b.dat")), "old b");
      // No temporaries, no new file, the archive kept.
      EXPECT_EQ(Tree(dir.path()), (std::vector<std::string>{"t/", "t/a.txt", "t/sub/", "t/sub/b.dat", "u.zip"}));
    }
  }
}

TEST(ExtractPackage, ACancelBeforeTheRenamesReplacesNothing) {
  test::PortableTempDir dir;
  WriteTestFile(dir.File("t/a.txt"), "old a");
  test::WriteZip(dir.File("u.zip"), {{"a.txt", "new a"}, {"b.txt", "new b"}});
  CancelToken cancel;
  cancel.Cancel();
  ExtractOptions options;
  options.cancel = &cancel;
  EXPECT_THROW(ExtractPackage(dir.File("u.zip"), dir.File("t"), options), CancelledError);
  EXPECT_EQ(Tree(dir.path()), (std::vector<std::string>{"t/", "t/a.txt", "u.zip"}));
}

TEST(ArchiveEntryDigest, HashesOneEntryWithoutWriting) {
  test::PortableTempDir dir;
  test::WriteZip(dir.File("l.zip"), {{"Game.exe", "new launcher"}, {"data/x", "x"}});
  EXPECT_EQ(ArchiveEntryDigest(dir.File("l.zip"), "game.EXE"), Sha("new launcher"));
  EXPECT_EQ(ArchiveEntryDigest(dir.File("l.zip"), "data/x"), Sha("x"));
  EXPECT_THROW(ArchiveEntryDigest(dir.File("l.zip"), "Other.exe"), DigestMismatchError);
  WriteTestFile(dir.File("bad.zip"), "PK no archive");
  EXPECT_THROW(ArchiveEntryDigest(dir.File("bad.zip"), "Game.exe"), Error);
  EXPECT_EQ(Tree(dir.path()), (std::vector<std::string>{"bad.zip", "l.zip"}));
}

// A kill in the middle of an unpacking leaves temporaries beside the game
// files; the journal names their folders until the unpacking ends, and the
// next start removes exactly those temporaries.
TEST(UnpackJournal, LeftoversOfAKilledUnpackingAreRemoved) {
  test::PortableTempDir dir;
  const std::string journal = dir.File("Patch/lk-unpack.journal");
  std::filesystem::create_directories(PathOf(dir.File("Patch")));
  // While an unpacking runs, its journal is there; after it, it is gone.
  test::WriteZip(dir.File("u.zip"), {{"a.txt", "a"}, {"deep/er/b.txt", "b"}});
  ExtractOptions options;
  options.journal = journal;
  ExtractPackage(dir.File("u.zip"), dir.File("game"), options);
  EXPECT_FALSE(PathExists(journal));
  EXPECT_EQ(ReadTestFile(dir.File("game/deep/er/b.txt")), "b");

  // What a kill leaves: the journal and temporaries in the folders it names.
  {
    UnpackJournal left(journal, {dir.File("game"), dir.File("game/deep/er")}, {dir.File("game/deep/new.bin")});
    // A new file is written under its own name: cut short, it goes too.
    WriteTestFile(dir.File("game/deep/new.bin"), "half of a new file");
    WriteTestFile(dir.File("game/a.txt.lk-part3"), "half");
    WriteTestFile(dir.File("game/deep/er/b.txt.lk-part17"), "half");
    // Not temporaries of ours, or in a folder the journal does not name.
    WriteTestFile(dir.File("game/notes.lk-part"), "keep");
    WriteTestFile(dir.File("game/x.lk-partial"), "keep");
    WriteTestFile(dir.File("game/deep/c.txt.lk-part1"), "keep");
    std::filesystem::copy_file(PathOf(journal), PathOf(journal + ".copy"));
  }
  std::filesystem::rename(PathOf(journal + ".copy"), PathOf(journal));
  RemoveUnpackLeftovers(journal);
  EXPECT_EQ(Tree(dir.File("game")),
            (std::vector<std::string>{"a.txt", "deep/", "deep/c.txt.lk-part1", "deep/er/", "deep/er/b.txt",
                                      "notes.lk-part", "x.lk-partial"}));
  EXPECT_FALSE(PathExists(journal));
  RemoveUnpackLeftovers(journal);  // nothing to do, nothing thrown
}

TEST(AtomicFileWriter, TheTargetIsOldOrNewNeverHalfWritten) {
  test::PortableTempDir dir;
  const std::string target = dir.File("f.bin");
  WriteTestFile(target, "old");
  {
    AtomicFileWriter w(target);
    w.Write(reinterpret_cast<const std::uint8_t*>("new!"), 4);
    EXPECT_EQ(ReadTestFile(target), "old");
    EXPECT_TRUE(IsAtomicWriterTemporary(ExtractFileName(w.temporary())));
    // Destroyed without Commit: the old file stays, the temporary goes.
  }
  EXPECT_EQ(Tree(dir.path()), std::vector<std::string>{"f.bin"});
  {
    AtomicFileWriter w(target);
    w.Write(reinterpret_cast<const std::uint8_t*>("new!"), 4);
    w.Commit();
  }
  EXPECT_EQ(ReadTestFile(target), "new!");
  EXPECT_EQ(Tree(dir.path()), std::vector<std::string>{"f.bin"});
  // A resumable writer keeps its partial file on failure and goes on from
  // the bytes it is told to keep.
  const std::string partial = dir.File("f.bin.part");
  {
    AtomicFileWriter w = AtomicFileWriter::Resume(target, partial, 0);
    w.Write(reinterpret_cast<const std::uint8_t*>("abcdef"), 6);
  }
  EXPECT_EQ(ReadTestFile(partial), "abcdef");
  {
    AtomicFileWriter w = AtomicFileWriter::Resume(target, partial, 4);
    EXPECT_EQ(w.size(), 4u);
    w.Write(reinterpret_cast<const std::uint8_t*>("XY"), 2);
    w.Commit();
  }
  EXPECT_EQ(ReadTestFile(target), "abcdXY");
  EXPECT_FALSE(PathExists(partial));
  // A target that cannot be written: an error, and nothing left behind.
  EXPECT_THROW(WriteFileAtomically(dir.File("no/such/folder/f"), "x"), Error);
  EXPECT_EQ(Tree(dir.path()), std::vector<std::string>{"f.bin"});
}

TEST(AtomicFileWriter, TemporaryNamePattern) {
  const std::pair<const char*, bool> cases[] = {
      {"a.txt.lk-part0", true}, {"a.lk-part123", true}, {"a.lk-part", false}, {".lk-part1", false},
      {"a.lk-part1x", false},   {"a.lk-partial", false}, {"a.txt", false}};
  for (const auto& [name, want] : cases) EXPECT_EQ(IsAtomicWriterTemporary(name), want) << name;
}

TEST(RemoveDirIfEmpty, RemovesOnlyAnEmptyFolder) {
  test::PortableTempDir dir;
  std::filesystem::create_directories(PathOf(dir.File("empty")));
  RemoveDirIfEmpty(dir.File("empty"));
  EXPECT_FALSE(PathExists(dir.File("empty")));

  WriteTestFile(dir.File("full/a.txt"), "a");
  RemoveDirIfEmpty(dir.File("full"));
  EXPECT_TRUE(IsDirectory(dir.File("full")));

  std::filesystem::create_directories(PathOf(dir.File("nested/sub")));
  RemoveDirIfEmpty(dir.File("nested"));
  EXPECT_TRUE(IsDirectory(dir.File("nested/sub")));

  RemoveDirIfEmpty(dir.File("missing"));
  EXPECT_FALSE(PathExists(dir.File("missing")));
}

}  // namespace
}  // namespace lk
