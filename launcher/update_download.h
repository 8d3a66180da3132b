#pragma once
// Fetching single update items into the Patch folder: the size request, and
// the download with its progress display, resumption and retries.
//
// A cut download keeps its partial file "<item>.lkpart" beside a note
// "<item>.lkinfo" (address, validator, length). The next attempt, in this
// run or a later one, asks only for the missing bytes with a Range request
// that If-Range makes conditional on the validator (the ETag, else
// Last-Modified): a server that ignores the range, or an item that changed,
// answers with the whole body, which replaces the partial file. Transient
// failures (no connection, a reset, a timeout, a 5xx answer, a body shorter
// than announced) are retried after growing pauses; a 4xx answer is final.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/update_progress.h"
#include "platform/cancel_token.h"
#include "platform/http_client.h"

namespace lk {

struct FetchPolicy {
  HttpOptions http;
  // How many items are fetched at once (and how many size requests run
  // at once beside them), each over a connection kept alive.
  std::size_t connections = 4;
  // The pause before each further attempt; their number is the number of
  // retries.
  std::vector<std::chrono::milliseconds> retry_pauses{std::chrono::milliseconds(1000),
                                                      std::chrono::milliseconds(3000),
                                                      std::chrono::milliseconds(9000)};
};

enum class FetchFailure {
  kNone,
  kStatus,      // an answer other than 2xx
  kNoConnection,  // no connection to the server
  kConnection,  // the connection broke, or no answer came
  kTimeout,     // no byte within the idle timeout
  kIncomplete,  // the body ended before its announced length
  kTooLong,     // more bytes than the size request or the answer announced
  kFile,        // the Patch folder could not be written
  kUnsafeName,  // an item name that would leave the Patch folder
  kCancelled,   // the window closed
};

struct FetchResult {
  FetchFailure failure = FetchFailure::kNone;
  int status = 0;          // the last HTTP status seen
  std::string detail;      // the system's text, for diagnostics
  bool ok() const { return failure == FetchFailure::kNone; }
};

// The short reason a status line shows: "HTTP 404", "无法连接", "连接中断",
// "连接超时", "无法写入文件", "文件过大", "名称不安全".
std::string FetchFailureText(const FetchResult& result);

class UpdateDownloader {
 public:
  // client is the run's (its connections are kept alive between items);
  // cancel aborts it. patch_folder: the launcher folder + "Patch".
  UpdateDownloader(HttpClient& client, const CancelToken& cancel, ItemProgress& progress,
                   std::string patch_folder, FetchPolicy policy = {});

  // HEAD of url + FileName (plainly joined). Status 200: the
  // Content-Length, or -1 without one; any other status, and no answer: 0
  // (the download itself then decides). Cancelled: throws CancelledError.
  std::int64_t GetRemoteFileSize(const std::string& url, const std::string& FileName);

  // Downloads url + SaveFile into the Patch folder under the name SaveFile,
  // with the progress display. size is what GetRemoteFileSize gave. True
  // only when a 2xx answer delivered the whole body and the file lies
  // complete under that name; last() then tells why not.
  bool DownloadFile(const std::string& url, const std::string& SaveFile, std::int64_t size);
  const FetchResult& last() const { return last_; }

  std::string ItemPath(const std::string& name) const;
  // Whether file_name, in the Patch folder, belongs to the item: the
  // partial file or its note.
  static bool IsPartOfItem(const std::string& file_name, const std::string& item);

 private:
  FetchResult Attempt(const std::string& url, const std::string& name, std::int64_t size);

  HttpClient& client_;
  const CancelToken& cancel_;
  ItemProgress& progress_;
  std::string patch_folder_;
  FetchPolicy policy_;
  FetchResult last_;
};

}  // namespace lk
