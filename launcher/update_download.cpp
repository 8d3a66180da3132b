#include "launcher/update_download.h"

#include <windows.h>
#include <winhttp.h>

#include <optional>

#include "core/safe_names.h"
#include "platform/error.h"
#include "platform/files.h"

namespace lk {
namespace {

constexpr char kPartial[] = ".lkpart";
constexpr char kNote[] = ".lkinfo";

// What a partial file was cut from, so the next attempt asks for the same
// item and lets the server tell whether it is still the same.
struct PartialNote {
  std::string url;
  std::string validator;
  std::int64_t length = -1;
};

std::optional<PartialNote> ReadNote(const std::string& path) {
  std::string text;
  try {
    if (!PathExists(path)) return std::nullopt;
    text = ReadWholeFile(path);
  } catch (const Error&) {
    return std::nullopt;
  }
  PartialNote note;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "url") note.url = value;
    if (key == "validator") note.validator = value;
    if (key == "length") {
      try {
        note.length = std::stoll(value);
      } catch (...) {
        return std::nullopt;
      }
    }
  }
  return note;
}

void WriteNote(const std::string& path, const PartialNote& note) {
  WriteFileAtomically(path, "url=" + note.url + "\nvalidator=" + note.validator +
                                "\nlength=" + std::to_string(note.length) + "\n");
}

// A strong ETag, else Last-Modified: If-Range allows no weak validator.
std::string Validator(const HttpClient::Response& response) {
  const std::string etag = response.Header("ETag");
  if (!etag.empty() && !etag.starts_with("W/")) return etag;
  return response.Header("Last-Modified");
}

// "bytes <first>-<last>/<length or *>".
bool ParseContentRange(const std::string& value, std::int64_t& first, std::int64_t& length) {
  if (!value.starts_with("bytes ")) return false;
  const std::size_t dash = value.find('-', 6), slash = value.find('/', 6);
  if (dash == std::string::npos || slash == std::string::npos || dash > slash) return false;
  try {
    std::size_t used = 0;
    first = std::stoll(value.substr(6, dash - 6), &used);
    if (used != dash - 6 || first < 0) return false;
    const std::string whole = value.substr(slash + 1);
    if (whole == "*") {
      length = -1;
      return true;
    }
    length = std::stoll(whole, &used);
    return used == whole.size() && length > first;
  } catch (...) {
    return false;
  }
}

struct BodyTooLong {};

// Downloads go to the system's cache only: the archive's CRCs and the
// unpacked file's digest are checked before anything of it is used.
// Appends the body to the item's partial file, refusing bytes beyond what
// was announced: a server must not fill the disk.
class PartialSink : public DownloadSink {
 public:
  PartialSink(AtomicFileWriter& writer, std::int64_t limit) : writer_(writer), limit_(limit) {}
  void Add(const std::uint8_t* data, std::size_t size) override {
    if (limit_ >= 0 && writer_.size() + size > static_cast<std::uint64_t>(limit_)) throw BodyTooLong{};
    writer_.Write(data, size);
  }

 private:
  AtomicFileWriter& writer_;
  std::int64_t limit_;
};

bool Transient(const FetchResult& r) {
  switch (r.failure) {
    case FetchFailure::kNoConnection:
    case FetchFailure::kConnection:
    case FetchFailure::kTimeout:
    case FetchFailure::kIncomplete:
      return true;
    case FetchFailure::kStatus:
      return r.status >= 500 && r.status <= 599;
    default:
      return false;
  }
}

}  // namespace

std::string FetchFailureText(const FetchResult& r) {
  switch (r.failure) {
    case FetchFailure::kNone:
      return {};
    case FetchFailure::kStatus:
      return "HTTP " + std::to_string(r.status);
    case FetchFailure::kTimeout:
      return "连接超时";
    case FetchFailure::kTooLong:
      return "文件过大";
    case FetchFailure::kFile:
      return "无法写入文件";
    case FetchFailure::kCancelled:
      return "已取消";
    case FetchFailure::kNoConnection:
      return "无法连接";
    case FetchFailure::kUnsafeName:
      return "名称不安全";
    case FetchFailure::kConnection:
    case FetchFailure::kIncomplete:
      break;
  }
  return "连接中断";
}

UpdateDownloader::UpdateDownloader(HttpClient& client, const CancelToken& cancel, ItemProgress& progress,
                                   std::string patch_folder, FetchPolicy policy)
    : client_(client),
      cancel_(cancel),
      progress_(progress),
      patch_folder_(std::move(patch_folder)),
      policy_(std::move(policy)) {}

std::string UpdateDownloader::ItemPath(const std::string& name) const { return JoinPath(patch_folder_, name); }

bool UpdateDownloader::IsPartOfItem(const std::string& file_name, const std::string& item) {
  return file_name == item + kPartial || file_name == item + kNote;
}

std::int64_t UpdateDownloader::GetRemoteFileSize(const std::string& url, const std::string& FileName) {
  try {
    const HttpHeadResult head = client_.Head(url + FileName);
    return head.status == 200 ? head.content_length : 0;
  } catch (const HttpError&) {
    cancel_.ThrowIfCancelled();
    // The size only feeds the display; the download tells what is wrong.
    return 0;
  }
}

bool UpdateDownloader::DownloadFile(const std::string& url, const std::string& SaveFile, std::int64_t size) {
  last_ = {};
  // The plan has refused such names already; a name is joined onto the
  // Patch folder here, so the rule is asked once more.
  if (!IsSafeName(SaveFile, NameKind::kFileName)) {
    last_.failure = FetchFailure::kUnsafeName;
    progress_.EndItem();
    return false;
  }
  // An older complete copy is never taken for this run's item.
  RemoveFile(ItemPath(SaveFile));
  if (!progress_.BeginItem(size)) {
    last_.failure = FetchFailure::kCancelled;
  } else {
    for (std::size_t attempt = 0;; ++attempt) {
      last_ = Attempt(url, SaveFile, size);
      if (cancel_.Cancelled()) last_.failure = FetchFailure::kCancelled;
      if (last_.ok() || !Transient(last_) || attempt >= policy_.retry_pauses.size()) break;
      if (cancel_.WaitFor(policy_.retry_pauses[attempt])) {
        last_.failure = FetchFailure::kCancelled;
        break;
      }
    }
    if (last_.ok() && !progress_.Completed()) last_.failure = FetchFailure::kCancelled;
  }
  progress_.EndItem();
  return last_.ok();
}

FetchResult UpdateDownloader::Attempt(const std::string& url, const std::string& name, std::int64_t size) {
  const std::string address = url + name;
  const std::string target = ItemPath(name);
  const std::string partial = target + kPartial;
  const std::string note_path = target + kNote;
  auto discard = [&] {
    RemoveFile(partial);
    RemoveFile(note_path);
  };

  std::int64_t offset = 0;
  const std::optional<PartialNote> note = ReadNote(note_path);
  if (note && note->url == address && !note->validator.empty()) {
    if (const auto have = FileSize(partial)) offset = static_cast<std::int64_t>(*have);
    if (note->length >= 0 && offset >= note->length) offset = 0;
  }
  HttpHeaders headers = {{"Connection", "keep-alive"}};
  if (offset > 0) {
    headers.emplace_back("Range", "bytes=" + std::to_string(offset) + "-");
    headers.emplace_back("If-Range", note->validator);
  }

  FetchResult r;
  try {
    HttpClient::Response response = client_.Get(address, headers);
    r.status = response.status();
    std::int64_t keep = 0;
    std::int64_t length = response.content_length();
    if (r.status == 206) {
      std::int64_t first = 0, whole = -1;
      if (offset == 0 || !ParseContentRange(response.Header("Content-Range"), first, whole) || first != offset) {
        // Not the part asked for: start again from nothing.
        discard();
        r.failure = FetchFailure::kIncomplete;
        r.detail = "unexpected range " + response.Header("Content-Range");
        return r;
      }
      keep = offset;
      length = whole >= 0 ? whole : (length >= 0 ? offset + length : -1);
    } else if (r.status == 416) {
      // The kept bytes do not fit the item any more.
      discard();
      r.failure = FetchFailure::kIncomplete;
      return r;
    } else if (r.status < 200 || r.status > 299) {
      if (r.status < 500) discard();
      r.failure = FetchFailure::kStatus;
      return r;
    }

    // Only what a validator identifies can be resumed; anything else is
    // written under a temporary name that goes with a failure.
    std::string validator = Validator(response);
    // A 206 answered our If-Range, so the validator it matched still holds.
    if (validator.empty() && keep > 0) validator = note->validator;
    std::optional<AtomicFileWriter> kept;
    if (validator.empty()) {
      discard();
      kept.emplace(target, WriteDurability::kCached);
    } else {
      WriteNote(note_path, PartialNote{address, validator, length});
      kept.emplace(AtomicFileWriter::Resume(target, partial, static_cast<std::uint64_t>(keep),
                                            WriteDurability::kCached));
    }
    AtomicFileWriter& writer = *kept;
    // An unannounced length is bounded by what the size request said.
    PartialSink sink(writer, length >= 0 ? length : (size > 0 ? size : -1));
    const HttpBodyResult body = response.ReadBody(sink, [&](std::int64_t, std::int64_t received, bool& abort) {
      if (!progress_.Receive(length, keep + received, false)) abort = true;
    });
    if (body.aborted) {
      r.failure = FetchFailure::kCancelled;
      return r;
    }
    if (!body.complete || (length >= 0 && static_cast<std::int64_t>(writer.size()) != length)) {
      writer.Finish();
      r.failure = FetchFailure::kIncomplete;
      return r;
    }
    if (!progress_.Receive(length, static_cast<std::int64_t>(writer.size()), true)) {
      r.failure = FetchFailure::kCancelled;
      return r;
    }
    writer.Commit();
    RemoveFile(note_path);
  } catch (const BodyTooLong&) {
    discard();
    r.failure = FetchFailure::kTooLong;
  } catch (const HttpError& e) {
    r.failure = e.TimedOut() ? FetchFailure::kTimeout : FetchFailure::kConnection;
    if (e.code() == ERROR_WINHTTP_CANNOT_CONNECT || e.code() == ERROR_WINHTTP_NAME_NOT_RESOLVED)
      r.failure = FetchFailure::kNoConnection;
    if (e.Cancelled()) r.failure = FetchFailure::kCancelled;
    r.detail = e.what();
  } catch (const CancelledError&) {
    r.failure = FetchFailure::kCancelled;
  } catch (const Error& e) {
    r.failure = FetchFailure::kFile;
    r.detail = e.what();
  }
  return r;
}

}  // namespace lk
