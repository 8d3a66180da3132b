#pragma once
// The download part of the update run: item sizes, item downloads into the
// Patch folder, and the progress globals the main window's display reads.
// Runs on the update worker; every change of the display is handed to the
// UI thread, the worker waiting for it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/progress_text.h"
#include "platform/http_client.h"
#include "platform/ui_dispatch.h"

namespace lk {

// Monotonic millisecond stopwatch, readable from any thread.
class Stopwatch {
 public:
  void Start();  // anew from zero
  void Stop();   // the reading stays where it stopped
  std::int64_t ElapsedMs() const;
  bool Running() const { return running_.load(); }

 private:
  std::atomic<std::uint64_t> start_{0};
  std::atomic<std::uint64_t> stopped_at_{0};
  std::atomic<bool> running_{false};
};

// Progress globals of the update run. The worker writes the byte counts
// only while no transfer of its own runs; the UI thread reads them in the
// progress callbacks.
extern std::atomic<std::int64_t> UpdateTotalBytes;
extern std::atomic<std::int64_t> UpdateDoneBytes;
extern Stopwatch UpdateStopwatch;
// System tick count of the last refresh of the byte label and the item
// percentage; 0 at start.
extern std::atomic<std::uint32_t> LabelRefreshTick;
// Nonzero from the start of a transfer until its completion notice.
extern std::atomic<std::int32_t> DownloadBusy;

// HEAD of url + FileName (plainly joined) with a fresh client. Status 200:
// the Content-Length, or -1 without one; any other status: 0. Throws
// HttpError when no response comes.
std::int64_t GetRemoteFileSize(const std::string& url, const std::string& FileName);

// Downloads single items into the Patch folder with the progress display.
// One per update run; owned by the main window.
class UpdateDownloader {
 public:
  // patch_folder: the launcher folder + "Patch" (with or without a trailing
  // separator). display is called on the UI thread only.
  UpdateDownloader(UiDispatcher& ui, ProgressDisplay& display, std::string patch_folder);

  // Runs fn on the UI thread and waits for it, as UiDispatcher::Invoke with
  // a cancel flag does; false when fn was not run. The update run passes
  // its own, which refuses every hand-over once the window has closed, so
  // a transfer still ending never reaches a released dispatcher.
  using HandOver = std::function<bool(const std::function<void()>& fn, const std::atomic<bool>& cancel)>;
  UpdateDownloader(HandOver hand_over, ProgressDisplay& display, std::string patch_folder);
  ~UpdateDownloader();
  UpdateDownloader(const UpdateDownloader&) = delete;
  UpdateDownloader& operator=(const UpdateDownloader&) = delete;

  // Downloads url + SaveFile into the Patch folder under the name SaveFile.
  // True only when a 2xx response delivered its whole body and the file
  // lies complete under that name; otherwise false and no file of that name
  // is left. An error of the size request propagates.
  bool DownloadFile(const std::string& url, const std::string& SaveFile);

  // GetRemoteFileSize (a fresh client each time) that Cancel can end: the
  // update run's size pass uses it, so closing the window never waits for
  // a server that does not answer.
  std::int64_t GetRemoteFileSize(const std::string& url, const std::string& FileName);

  // From any thread (the window closing): ends a running size request or
  // transfer promptly and makes every later one fail at once (a size
  // request then raises HttpError, which ends the update run).
  void Cancel();

  const DownloadProgress& progress() const { return progress_; }

  // The item's path in the Patch folder.
  std::string ItemPath(const std::string& FileName) const;

 private:
  void DownloadFileWithProgress(const std::string& url, const std::string& FileName);
  bool Transfer(HttpClient& client, const std::string& url, const std::string& FileName);
  // On the UI thread.
  void DownloadReceiveData(std::int64_t AContentLength, std::int64_t AReadCount, bool& AAbort);
  void DownloadRequestCompleted();

  class ClientScope;
  struct SystemClock : ProgressClock {
    std::int64_t StopwatchMs() override;
    std::uint32_t TickCount() override;
  };

  HandOver hand_over_;
  SystemClock clock_;
  DownloadProgress progress_;
  std::string patch_folder_;
  std::atomic<bool> cancel_{false};
  bool succeeded_ = false;
  std::mutex client_mutex_;
  HttpClient* client_ = nullptr;  // the running download's client, for Cancel
};

}  // namespace lk
