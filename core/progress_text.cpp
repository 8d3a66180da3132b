#include "core/progress_text.h"

#include <cstdio>
#include <limits>

namespace lk {
namespace {

constexpr double kMiB = 1048576.0;
constexpr double kKiB = 1024.0;

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char buf[160];
  const int n = std::snprintf(buf, sizeof(buf), format, args...);
  if (n < 0) return std::string();
  if (static_cast<std::size_t>(n) < sizeof(buf)) return std::string(buf, static_cast<std::size_t>(n));
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), format, args...);
  big.resize(static_cast<std::size_t>(n));
  return big;
}

}  // namespace

std::string FormatSpeed(double bytes_per_second) {
  if (bytes_per_second >= kMiB) return Format("传输速度: %.2f %s", bytes_per_second / kMiB, "MB/s");
  if (bytes_per_second >= kKiB) return Format("传输速度: %.2f %s", bytes_per_second / kKiB, "KB/s");
  return Format("传输速度: %.2f %s", bytes_per_second, "B/s");
}

std::string FormatDownloaded(std::int64_t item_bytes, std::int64_t run_total) {
  const double total = static_cast<double>(run_total);
  double value = total;
  const char* unit = "B";
  if (run_total >= 1048576) {
    value = total / kMiB;
    unit = "MB";
  } else if (run_total >= 1024) {
    value = total / kKiB;
    unit = "KB";
  }
  return Format("已下载: %.2f MB\\%.0f %s", static_cast<double>(item_bytes) / kMiB, value, unit);
}

std::string FormatPercent(double percent) { return Format("%.0f%%", percent); }

BarState ScaleBar(std::int64_t position, std::int64_t range) {
  if (range <= 0) return BarState{};
  if (position < 0) position = 0;
  if (position > range) position = range;
  int shift = 0;
  while ((range >> shift) > std::numeric_limits<std::int32_t>::max()) ++shift;
  return BarState{static_cast<std::int32_t>(range >> shift), static_cast<std::int32_t>(position >> shift)};
}

void DownloadProgress::BeginItem(std::int64_t size) {
  total_size_ = size;
  last_bytes_ = 0;
  downloaded_size_ = 0;
  speed_base_ms_ = clock_.StopwatchMs();
}

void DownloadProgress::ShowItemStart(const RunTotals& run) {
  display_.SetItemBar(ScaleBar(0, total_size_));
  display_.SetRunBar(ScaleBar(run.done_bytes, run.total_bytes));
  display_.SetItemPercent("0%");
}

void DownloadProgress::OnReceive(std::int64_t content_length, std::int64_t read_count, const RunTotals& run,
                                 std::uint32_t& label_refresh_tick) {
  // A refused size request leaves the item's size to the first callback.
  if (total_size_ == 0) total_size_ = content_length;
  downloaded_size_ = read_count;
  display_.SetItemBar(ScaleBar(read_count, total_size_));

  const std::int64_t overall = run.done_bytes + read_count;
  if (run.total_bytes > 0)
    display_.SetRunPercent(
        FormatPercent(static_cast<double>(overall) / static_cast<double>(run.total_bytes) * 100.0));
  display_.SetRunBar(ScaleBar(overall, run.total_bytes));

  const std::int64_t now_ms = clock_.StopwatchMs();
  // At most once per second; an interval of zero (the very first callback
  // of an item at its start) waits for the next callback.
  if (now_ms >= progress_time_ && now_ms > speed_base_ms_) {
    progress_time_ = now_ms + 1000;
    const double seconds = static_cast<double>(now_ms - speed_base_ms_) / 1000.0;
    display_.SetSpeed(FormatSpeed(static_cast<double>(downloaded_size_ - last_bytes_) / seconds));
    last_bytes_ = read_count;
    speed_base_ms_ = now_ms;
  }

  // Unsigned difference: correct across the tick count's wrap.
  if (static_cast<std::uint32_t>(clock_.TickCount() - label_refresh_tick) > 100u) {
    display_.SetStatus(FormatDownloaded(read_count, run.total_bytes));
    if (total_size_ > 0)
      display_.SetItemPercent(
          FormatPercent(static_cast<double>(read_count) / static_cast<double>(total_size_) * 100.0));
    label_refresh_tick = clock_.TickCount();
  }
}

void DownloadProgress::OnCompleted() { display_.SetItemPercent("100%"); }

}  // namespace lk
