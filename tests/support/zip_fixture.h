#pragma once
// ZIP archives of named contents made by our own writer, for the tests of
// reading and unpacking.
#include <string>
#include <utility>
#include <vector>

#include "core/zip_writer.h"
#include "tests/support/temp_dir.h"

namespace lk::test {

using ZipContents = std::vector<std::pair<std::string, std::string>>;

// The archive's bytes: each name with its content, in order.
inline std::string ZipOf(const ZipContents& files) {
  std::string bytes;
  ZipWriter w([&](Bytes b) { bytes.append(reinterpret_cast<const char*>(b.data()), b.size()); });
  for (const auto& [name, content] : files) w.AddFile(name, AsBytes(content));
  w.Finish();
  return bytes;
}

// The same archive written to path; returns its bytes.
inline std::string WriteZip(const std::string& path, const ZipContents& files) {
  std::string bytes = ZipOf(files);
  WriteTestFile(path, bytes);
  return bytes;
}

}  // namespace lk::test
