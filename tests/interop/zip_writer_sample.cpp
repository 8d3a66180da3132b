// Writes sample archives with our ZIP writer, and beside them the files they
// hold, so check_zip_interop.py can check them with other tools.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/zip_writer.h"

namespace {

void Save(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zip_writer_sample <folder>\n");
    return 2;
  }
  const std::filesystem::path out(argv[1]);
  std::string random(1 << 20, '\0');
  std::mt19937 rng(1);
  for (char& c : random) c = static_cast<char>(rng());
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "第" + std::to_string(i) + "行 update text\n";
  const std::pair<std::string, std::string> files[] = {
      {"数据/说明.txt", text}, {"random.bin", random}, {"empty.txt", ""}, {"a/b/c/深.dat", "deep"}};
  for (const bool zip64 : {false, true}) {
    const std::string name = zip64 ? "zip64" : "plain";
    std::ofstream archive(out / (name + ".zip"), std::ios::binary | std::ios::trunc);
    lk::ZipWriter w(
        [&](lk::Bytes b) {
          archive.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        },
        {6, zip64});
    w.AddDirectory("空目录");
    for (const auto& [entry, content] : files) {
      w.AddFile(entry, lk::AsBytes(content));
      Save(out / (name + "-expected") / std::filesystem::path(std::u8string(entry.begin(), entry.end())),
           content);
    }
    w.Finish();
    archive.close();
    if (!archive) return 1;
  }
  return 0;
}
