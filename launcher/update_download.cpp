#include "launcher/update_download.h"

#include <windows.h>

#include <chrono>

#include "core/update_plan.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "platform/thread_pool.h"

namespace lk {

std::atomic<std::int64_t> UpdateTotalBytes{0};
std::atomic<std::int64_t> UpdateDoneBytes{0};
Stopwatch UpdateStopwatch;
std::atomic<std::uint32_t> LabelRefreshTick{0};
std::atomic<std::int32_t> DownloadBusy{0};

void Stopwatch::Start() {
  start_.store(GetTickCount64());
  running_.store(true);
}

void Stopwatch::Stop() {
  if (running_.exchange(false)) stopped_at_.store(GetTickCount64());
}

std::int64_t Stopwatch::ElapsedMs() const {
  const std::uint64_t start = start_.load();
  if (start == 0) return 0;
  const std::uint64_t end = running_.load() ? GetTickCount64() : stopped_at_.load();
  return end > start ? static_cast<std::int64_t>(end - start) : 0;
}

std::int64_t UpdateDownloader::SystemClock::StopwatchMs() { return UpdateStopwatch.ElapsedMs(); }
std::uint32_t UpdateDownloader::SystemClock::TickCount() { return GetTickCount(); }

namespace {

std::int64_t SizeFromHead(HttpClient& client, const std::string& url) {
  const HttpHeadResult head = client.Head(url);
  if (head.status != 200) return 0;
  return head.content_length;
}

}  // namespace

std::int64_t GetRemoteFileSize(const std::string& url, const std::string& FileName) {
  HttpClient client;
  return SizeFromHead(client, url + FileName);
}

// Registers a client for Cancel while it lives; a client registered after
// Cancel is aborted at once.
class UpdateDownloader::ClientScope {
 public:
  ClientScope(UpdateDownloader& owner, HttpClient& client) : owner_(owner) {
    std::lock_guard lock(owner_.client_mutex_);
    owner_.client_ = &client;
    if (owner_.cancel_.load()) client.Abort();
  }
  ~ClientScope() {
    std::lock_guard lock(owner_.client_mutex_);
    owner_.client_ = nullptr;
  }
  ClientScope(const ClientScope&) = delete;
  ClientScope& operator=(const ClientScope&) = delete;

 private:
  UpdateDownloader& owner_;
};

std::int64_t UpdateDownloader::GetRemoteFileSize(const std::string& url, const std::string& FileName) {
  HttpClient client;
  ClientScope scope(*this, client);
  return SizeFromHead(client, url + FileName);
}

namespace {

// The body goes to a temporary file beside its final place, so memory stays
// bounded whatever the item's size and an unfinished body never carries the
// item's name.
class TempFileSink : public DownloadSink {
 public:
  explicit TempFileSink(const std::string& folder) {
    wchar_t name[MAX_PATH + 1];
    if (!GetTempFileNameW(Wide(folder).c_str(), L"lkd", 0, name)) ThrowLastError();
    path_ = name;
    file_.reset(
        CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
      const DWORD code = GetLastError();
      DeleteFileW(path_.c_str());
      ThrowSystemError(code);
    }
  }
  ~TempFileSink() override {
    file_.reset();
    if (!kept_) DeleteFileW(path_.c_str());
  }

  void SetLength(std::int64_t) override {}
  void Add(const std::uint8_t* data, std::size_t size) override {
    while (size > 0) {
      const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
      DWORD written = 0;
      if (!WriteFile(file_.get(), data, chunk, &written, nullptr) || written == 0) ThrowLastError();
      data += written;
      size -= written;
    }
  }

  // Closes the file and gives it the item's name, replacing an older one.
  void Commit(const std::wstring& target) {
    file_.reset();
    if (!MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      ThrowLastError();
    kept_ = true;
  }

 private:
  std::wstring path_;
  UniqueFile file_;
  bool kept_ = false;
};

}  // namespace

UpdateDownloader::UpdateDownloader(UiDispatcher& ui, ProgressDisplay& display, std::string patch_folder)
    : UpdateDownloader([&ui](const std::function<void()>& fn,
                             const std::atomic<bool>& cancel) { return ui.Invoke(fn, cancel); },
                       display, std::move(patch_folder)) {}

UpdateDownloader::UpdateDownloader(HandOver hand_over, ProgressDisplay& display, std::string patch_folder)
    : hand_over_(std::move(hand_over)), progress_(display, clock_), patch_folder_(std::move(patch_folder)) {
  if (!patch_folder_.empty() && patch_folder_.back() != '\\' && patch_folder_.back() != '/')
    patch_folder_ += '\\';
}

UpdateDownloader::~UpdateDownloader() = default;

std::string UpdateDownloader::ItemPath(const std::string& FileName) const { return patch_folder_ + FileName; }

void UpdateDownloader::Cancel() {
  cancel_.store(true);
  std::lock_guard lock(client_mutex_);
  if (client_) client_->Abort();
}

bool UpdateDownloader::DownloadFile(const std::string& url, const std::string& SaveFile) {
  succeeded_ = false;
  DownloadFileWithProgress(url, SaveFile);
  return succeeded_;
}

void UpdateDownloader::DownloadFileWithProgress(const std::string& url, const std::string& FileName) {
  if (cancel_.load()) return;
  HttpClient client;
  // No transfer of ours runs now, so the worker may set the item's state.
  progress_.BeginItem(GetRemoteFileSize(url, FileName));
  ClientScope scope(*this, client);

  const RunTotals start{UpdateTotalBytes.load(), UpdateDoneBytes.load()};
  if (hand_over_([&] { progress_.ShowItemStart(start); }, cancel_)) {
    BackgroundTask transfer([&] { succeeded_ = Transfer(client, url, FileName); });
    transfer.Wait();
    // The completion notice has normally come before the task ended; this
    // only guards a notice still on its way.
    while (DownloadBusy.load() != 0 && !cancel_.load()) Sleep(1000);
  }
  UpdateDoneBytes.fetch_add(progress_.total_size());
}

bool UpdateDownloader::Transfer(HttpClient& client, const std::string& url, const std::string& FileName) {
  DownloadBusy.store(-1);
  const std::wstring target = Wide(ItemPath(FileName));
  bool ok = false;
  try {
    if (IsSafeItemName(FileName)) {
      HttpClient::Response response = client.Get(url + FileName, {{"Connection", "keep-alive"}});
      // An error page is not the item: it would fail to unpack, or worse,
      // be handed to the patcher as the new launcher.
      if (response.status() >= 200 && response.status() <= 299) {
        TempFileSink sink(patch_folder_);
        const std::int64_t length = response.content_length();
        // Each hand-over is a round trip through the UI thread's message
        // queue, and pieces arrive every few KiB: handing over every piece
        // made a loopback download four times slower than the transfer
        // itself. No display shows more than a frame, so pieces go over at
        // most every kHandOverInterval, and the last one always.
        constexpr auto kHandOverInterval = std::chrono::milliseconds(15);
        auto last_hand_over = std::chrono::steady_clock::now() - kHandOverInterval;
        std::int64_t handed_over = -1;
        auto hand_over = [&](std::int64_t received) {
          bool abort = false;
          handed_over = received;
          last_hand_over = std::chrono::steady_clock::now();
          return hand_over_([&] { DownloadReceiveData(length, received, abort); }, cancel_) && !abort;
        };
        const HttpBodyResult body = response.ReadBody(sink, [&](std::int64_t, std::int64_t received,
                                                                bool& abort) {
          if (cancel_.load()) {
            abort = true;
            return;
          }
          if (received == length || std::chrono::steady_clock::now() - last_hand_over >= kHandOverInterval)
            abort = !hand_over(received);
        });
        bool last_shown = true;
        if (body.complete && handed_over != body.received) last_shown = hand_over(body.received);
        if (body.complete && last_shown && !cancel_.load()) {
          sink.Commit(target);
          ok = true;
        }
      }
    }
  } catch (...) {
    ok = false;
  }
  if (ok && hand_over_([this] { DownloadRequestCompleted(); }, cancel_)) return true;
  // A failed item leaves nothing under its name, not even an older copy.
  if (IsSafeItemName(FileName)) DeleteFileW(target.c_str());
  DownloadBusy.store(0);
  return false;
}

void UpdateDownloader::DownloadReceiveData(std::int64_t AContentLength, std::int64_t AReadCount,
                                           bool& AAbort) {
  (void)AAbort;  // this handler never stops a transfer; Cancel does
  std::uint32_t tick = LabelRefreshTick.load();
  progress_.OnReceive(AContentLength, AReadCount, RunTotals{UpdateTotalBytes.load(), UpdateDoneBytes.load()},
                      tick);
  LabelRefreshTick.store(tick);
}

void UpdateDownloader::DownloadRequestCompleted() {
  progress_.OnCompleted();
  DownloadBusy.store(0);
}

}  // namespace lk
