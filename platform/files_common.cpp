#include "platform/files.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

#include "platform/error.h"

namespace lk {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  if (last == '/' || last == kPathSeparator) return folder + name;
  return folder + kPathSeparator + name;
}

std::string ReadWholeFile(const std::string& path) {
  InFile file(path);
  const std::uint64_t size = file.Size();
  if (size > 0x7FFFFFFF) throw RangeError("File too large: " + path);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t got =
        file.Read(reinterpret_cast<std::uint8_t*>(bytes.data()) + done, bytes.size() - done);
    if (got == 0) break;  // the file shrank meanwhile: what is there is what we have
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

namespace {

constexpr char kTemporaryMark[] = ".lk-part";

}  // namespace

bool IsAtomicWriterTemporary(const std::string& file_name) {
  const std::size_t at = file_name.rfind(kTemporaryMark);
  if (at == std::string::npos || at == 0) return false;
  const std::size_t digits = at + sizeof(kTemporaryMark) - 1;
  if (digits == file_name.size()) return false;
  return file_name.find_first_not_of("0123456789", digits) == std::string::npos;
}

AtomicFileWriter::AtomicFileWriter(std::string target, std::string temp, bool keep_on_failure,
                                   WriteDurability durability)
    : target_(std::move(target)), temp_(std::move(temp)), durability_(durability), keep_on_failure_(keep_on_failure) {}

AtomicFileWriter::AtomicFileWriter(std::string target, WriteDurability durability)
    : target_(std::move(target)), durability_(durability) {
  // OutFile refuses an existing name, so a leftover of another writer (or
  // a file of that very name) only moves this one on to the next number.
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0;; ++attempt) {
    temp_ = target_ + kTemporaryMark + std::to_string(counter.fetch_add(1));
    try {
      file_.emplace(temp_);
      return;
    } catch (const Error&) {
      if (attempt >= 64 || !PathExists(temp_)) throw;
    }
  }
}

AtomicFileWriter AtomicFileWriter::CreateNew(std::string target, WriteDurability durability) {
  std::string temp = target;
  AtomicFileWriter w(std::move(target), std::move(temp), false, durability);
  w.file_.emplace(w.temp_);
  return w;
}

AtomicFileWriter AtomicFileWriter::Resume(std::string target, std::string partial, std::uint64_t keep,
                                          WriteDurability durability) {
  AtomicFileWriter w(std::move(target), std::move(partial), true, durability);
  w.file_.emplace(OutFile::Resume(w.temp_, keep));
  w.size_ = keep;
  return w;
}

AtomicFileWriter::AtomicFileWriter(AtomicFileWriter&& other) noexcept
    : target_(std::move(other.target_)),
      temp_(std::move(other.temp_)),
      durability_(other.durability_),
      file_(std::move(other.file_)),
      size_(other.size_),
      keep_on_failure_(other.keep_on_failure_),
      done_(std::exchange(other.done_, true)) {
  other.file_.reset();
}

AtomicFileWriter::~AtomicFileWriter() {
  if (done_) return;
  file_.reset();
  if (!keep_on_failure_) RemoveFile(temp_);
}

void AtomicFileWriter::Write(const std::uint8_t* data, std::size_t n) {
  if (!file_) throw Error(temp_ + ": written after it was finished");
  file_->Write(data, n);
  size_ += n;
}

void AtomicFileWriter::Finish() {
  if (!file_) return;
  if (durability_ == WriteDurability::kFlushed) file_->Flush();
  file_->Close();
  file_.reset();
}

void AtomicFileWriter::Commit(int retryMs) {
  if (done_) throw Error(target_ + ": committed twice");
  Finish();
  if (temp_ == target_) {
    done_ = true;
    return;
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(retryMs);
  for (;;) {
    try {
      MoveReplacing(temp_, target_);
      done_ = true;
      return;
    } catch (const Error&) {
      if (std::chrono::steady_clock::now() >= end) throw;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void AtomicFileWriter::Discard() noexcept {
  file_.reset();
  RemoveFile(temp_);
  done_ = true;
}

void WriteFileAtomically(const std::string& path, const std::string& bytes) {
  AtomicFileWriter w(path);
  w.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  w.Commit();
}

}  // namespace lk
