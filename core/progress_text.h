#pragma once
// The download progress display of the update run as pure rules: which
// label gets which text when, and where the two bars stand. The clocks are
// passed in, so the timing rules are testable without waiting; the display
// itself is an interface the main window implements.
#include <cstdint>
#include <string>

namespace lk {

// "传输速度: %.2f %s" with B/s, KB/s or MB/s.
std::string FormatSpeed(double bytes_per_second);
// "已下载: %.2f MB\%.0f %s": the current item in MB, then the run total in
// MB, KB or B (a negative total counts as below 1024). The backslash is a
// character of the text.
std::string FormatDownloaded(std::int64_t item_bytes, std::int64_t run_total);
// "%.0f%%".
std::string FormatPercent(double percent);

// A progress bar's range and position as the 32-bit control takes them.
struct BarState {
  std::int32_t max = 0;
  std::int32_t position = 0;
  bool operator==(const BarState&) const = default;
};

// Scales 64-bit byte counts into the control's 32-bit range, so items and
// runs above 2 GiB show true progress. A range that is not positive (size
// unknown or refused) gives an empty bar; a position beyond the range a
// full one.
BarState ScaleBar(std::int64_t position, std::int64_t range);

// What the window shows; implemented by the main window, which carries the
// calls out on its controls. Called on the UI thread only.
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void SetItemBar(BarState bar) = 0;                 // ProgressBar1
  virtual void SetRunBar(BarState bar) = 0;                  // ProgressBar2
  virtual void SetItemPercent(const std::string& text) = 0;  // Label7
  virtual void SetRunPercent(const std::string& text) = 0;   // Label8
  virtual void SetSpeed(const std::string& text) = 0;        // Label4
  virtual void SetStatus(const std::string& text) = 0;       // Label3
};

// The clocks the rules read: the run's stopwatch in milliseconds and the
// system's 32-bit millisecond tick count (which wraps after 49.7 days).
class ProgressClock {
 public:
  virtual ~ProgressClock() = default;
  virtual std::int64_t StopwatchMs() = 0;
  virtual std::uint32_t TickCount() = 0;
};

// The run-wide figures the rules read; owned by the update run.
struct RunTotals {
  std::int64_t total_bytes = 0;  // UpdateTotalBytes
  std::int64_t done_bytes = 0;   // UpdateDoneBytes
};

// The progress state of the main window during a run. Lives on the UI
// thread; the worker touches it only between transfers.
class DownloadProgress {
 public:
  DownloadProgress(ProgressDisplay& display, ProgressClock& clock) : display_(display), clock_(clock) {}

  // Before an item's transfer (worker, no transfer running): its size as
  // the HEAD request reported it (0 refused, -1 unknown).
  void BeginItem(std::int64_t size);
  // The display at the start of an item's transfer (UI thread).
  void ShowItemStart(const RunTotals& run);
  // One receive-progress callback (UI thread).
  void OnReceive(std::int64_t content_length, std::int64_t read_count, const RunTotals& run,
                 std::uint32_t& label_refresh_tick);
  // The transfer completed (UI thread).
  void OnCompleted();

  std::int64_t total_size() const { return total_size_; }        // FTotalSize
  std::int64_t last_bytes() const { return last_bytes_; }        // FLastBytes
  std::int64_t progress_time() const { return progress_time_; }  // ProgressTime

 private:
  ProgressDisplay& display_;
  ProgressClock& clock_;
  std::int64_t total_size_ = 0;
  std::int64_t downloaded_size_ = 0;
  std::int64_t last_bytes_ = 0;
  std::int64_t progress_time_ = 0;
  // Stopwatch reading the bytes of last_bytes_ were counted from: the last
  // speed refresh or the start of the item, whichever came later.
  std::int64_t speed_base_ms_ = 0;
};

}  // namespace lk
