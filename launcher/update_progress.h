#pragma once
// The progress of one update run: the byte counts, clocks and flags the
// display rules read, and the hand-over of each display change to the UI
// thread. One object per run owns all of them.
#include <atomic>
#include <cstdint>
#include <functional>

#include "core/progress_text.h"

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

// What one item's download reports while it runs. The run's display
// (UpdateProgress) implements it for the item it shows; a download that
// runs ahead of the display reports to a slot of its own.
class ItemProgress {
 public:
  virtual ~ItemProgress() = default;
  // Before the transfer: the item's size as the size request gave it (0
  // refused, -1 unknown). False: stop, the window is closing.
  virtual bool BeginItem(std::int64_t size) = 0;
  // The transfer has bytes_so_far of the item (those kept from an earlier
  // attempt included) of content_length (the whole item; -1 unknown).
  virtual bool Receive(std::int64_t content_length, std::int64_t bytes_so_far, bool last) = 0;
  // The transfer completed.
  virtual bool Completed() = 0;
  // The item is over, whether it came or not.
  virtual void EndItem() = 0;
};

class UpdateProgress : public ItemProgress {
 public:
  // Runs fn on the UI thread and waits for it; false when fn was not run
  // because the window is closing.
  using HandOver = std::function<bool(const std::function<void()>& fn)>;

  // display is called on the UI thread only, through hand_over.
  UpdateProgress(ProgressDisplay& display, HandOver hand_over);
  UpdateProgress(const UpdateProgress&) = delete;
  UpdateProgress& operator=(const UpdateProgress&) = delete;

  // Sum of the item sizes of the run, and the bytes of the items already
  // done (each item adds its size when it ends, fetched or not).
  std::atomic<std::int64_t> UpdateTotalBytes{0};
  std::atomic<std::int64_t> UpdateDoneBytes{0};
  // Runs from the start of the run; the speed label refreshes by it.
  Stopwatch UpdateStopwatch;
  // System tick count of the last refresh of the byte label and the item
  // percentage; 0 at start.
  std::atomic<std::uint32_t> LabelRefreshTick{0};
  // Nonzero from the start of a transfer until its completion notice.
  std::atomic<std::int32_t> DownloadBusy{0};

  // All of these run on the update worker and return false when the window
  // refused the hand-over.

  // Shows the bars at the item's start.
  bool BeginItem(std::int64_t size) override;
  // Handed over at most every 15 ms, and always when last is true.
  bool Receive(std::int64_t content_length, std::int64_t bytes_so_far, bool last) override;
  // The item's percentage shows "100%".
  bool Completed() override;
  // UpdateDoneBytes grows by the item's size.
  void EndItem() override;

  std::int64_t item_size() const { return item_.total_size(); }  // FTotalSize

 private:
  struct SystemClock : ProgressClock {
    explicit SystemClock(const Stopwatch& s) : stopwatch(s) {}
    std::int64_t StopwatchMs() override;
    std::uint32_t TickCount() override;
    const Stopwatch& stopwatch;
  };

  HandOver hand_over_;
  SystemClock clock_;
  DownloadProgress item_;
  std::int64_t last_handed_ms_ = -1000;
};

}  // namespace lk
