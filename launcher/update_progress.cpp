#include "launcher/update_progress.h"

#include <windows.h>

namespace lk {

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

std::int64_t UpdateProgress::SystemClock::StopwatchMs() { return stopwatch.ElapsedMs(); }
std::uint32_t UpdateProgress::SystemClock::TickCount() { return GetTickCount(); }

UpdateProgress::UpdateProgress(ProgressDisplay& display, HandOver hand_over)
    : hand_over_(std::move(hand_over)), clock_(UpdateStopwatch), item_(display, clock_) {}

bool UpdateProgress::BeginItem(std::int64_t size) {
  // No transfer runs now, so the worker may set the item's state.
  item_.BeginItem(size);
  DownloadBusy.store(-1);
  const RunTotals run{UpdateTotalBytes.load(), UpdateDoneBytes.load()};
  return hand_over_([&] { item_.ShowItemStart(run); });
}

bool UpdateProgress::Receive(std::int64_t content_length, std::int64_t bytes_so_far, bool last) {
  // Each hand-over is a round trip through the UI thread's message queue,
  // and pieces arrive every few KiB: handing over every piece made a
  // loopback download four times slower than the transfer itself. No
  // display shows more than a frame, so pieces go over at most every 15 ms.
  const std::int64_t now = static_cast<std::int64_t>(GetTickCount64());
  if (!last && now - last_handed_ms_ < 15) return true;
  last_handed_ms_ = now;
  const RunTotals run{UpdateTotalBytes.load(), UpdateDoneBytes.load()};
  return hand_over_([&] {
    std::uint32_t tick = LabelRefreshTick.load();
    item_.OnReceive(content_length, bytes_so_far, run, tick);
    LabelRefreshTick.store(tick);
  });
}

bool UpdateProgress::Completed() {
  const bool shown = hand_over_([this] {
    item_.OnCompleted();
    DownloadBusy.store(0);
  });
  DownloadBusy.store(0);
  return shown;
}

void UpdateProgress::EndItem() {
  DownloadBusy.store(0);
  UpdateDoneBytes.fetch_add(item_.total_size());
}

}  // namespace lk
