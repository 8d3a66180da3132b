// The progress texts and refresh rules of the update run, with a fake
// clock: every timing rule is checked at and beside its boundary.
#include "core/progress_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace lk {
namespace {

constexpr std::int64_t kMiB = 1048576;
constexpr std::int64_t kGiB = 1024 * kMiB;

TEST(ProgressText, SpeedUnits) {
  struct Case {
    double speed;
    const char* text;
  } cases[] = {
      {0, "传输速度: 0.00 B/s"},
      {1023, "传输速度: 1023.00 B/s"},
      {1024, "传输速度: 1.00 KB/s"},
      {1536, "传输速度: 1.50 KB/s"},
      {1048575, "传输速度: 1024.00 KB/s"},
      {1048576, "传输速度: 1.00 MB/s"},
      {2.5 * 1048576, "传输速度: 2.50 MB/s"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSpeed(c.speed), c.text) << c.speed;
}

TEST(ProgressText, DownloadedUnits) {
  struct Case {
    std::int64_t item, total;
    const char* text;
  } cases[] = {
      {3 * kMiB / 2, 3 * kMiB, "已下载: 1.50 MB\\3 MB"},
      {0, 0, "已下载: 0.00 MB\\0 B"},
      {0, 1023, "已下载: 0.00 MB\\1023 B"},
      {0, 1024, "已下载: 0.00 MB\\1 KB"},
      {512, 1048575, "已下载: 0.00 MB\\1024 KB"},
      {kMiB, 1048576, "已下载: 1.00 MB\\1 MB"},
      // A run whose sizes were all unknown: a negative total counts as bytes.
      {kMiB / 4, -1, "已下载: 0.25 MB\\-1 B"},
      {5 * kGiB, 6 * kGiB, "已下载: 5120.00 MB\\6144 MB"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatDownloaded(c.item, c.total), c.text) << c.item << "/" << c.total;
}

TEST(ProgressText, Percent) {
  EXPECT_EQ(FormatPercent(0), "0%");
  EXPECT_EQ(FormatPercent(50), "50%");
  EXPECT_EQ(FormatPercent(100), "100%");
  EXPECT_EQ(FormatPercent(33.4), "33%");
  EXPECT_EQ(FormatPercent(250), "250%");
}

TEST(ProgressText, BarScaling) {
  constexpr std::int64_t kMax32 = 2147483647;
  constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
  struct Case {
    std::int64_t position, range;
    BarState bar;
  } cases[] = {
      // A range that is not positive (size unknown or refused): empty bar.
      {0, 0, {0, 0}},
      {10, 0, {0, 0}},
      {10, -1, {0, 0}},
      {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::min(), {0, 0}},
      // Counts that fit stay exact; a position outside the range is clamped.
      {0, 100, {100, 0}},
      {50, 100, {100, 50}},
      {150, 100, {100, 100}},
      {3 * kGiB, 100, {100, 100}},
      {-5, 100, {100, 0}},
      {kMax32, kMax32, {2147483647, 2147483647}},
      // One past the 32-bit range halves both figures.
      {kMax32 + 1, kMax32 + 1, {1073741824, 1073741824}},
      {1, kMax32 + 1, {1073741824, 0}},
      {3 * kGiB / 2, 3 * kGiB, {1610612736, 805306368}},
      // 5 GiB of 6 GiB shows five sixths, not the low 32 bits' "1 of 2 GiB".
      {5 * kGiB,
       6 * kGiB,
       {static_cast<std::int32_t>(6 * kGiB >> 2), static_cast<std::int32_t>(5 * kGiB >> 2)}},
      {kMax64, kMax64, {2147483647, 2147483647}},
  };
  for (const auto& c : cases) EXPECT_EQ(ScaleBar(c.position, c.range), c.bar) << c.position << "/" << c.range;
}

TEST(ProgressText, BarScalingKeepsTheRatioForLargeCounts) {
  for (std::int64_t range : {3 * kGiB, 17 * kGiB, 100 * kGiB, std::int64_t{1} << 50,
                             std::numeric_limits<std::int64_t>::max() / 3}) {
    for (int percent : {0, 1, 33, 37, 50, 99, 100}) {
      const std::int64_t position = range / 100 * percent;
      const BarState bar = ScaleBar(position, range);
      // The upper half of the 32-bit range is used: the bar keeps its detail.
      ASSERT_GT(bar.max, 2147483647 / 2) << range;
      const double shown = static_cast<double>(bar.position) / bar.max;
      const double real = static_cast<double>(position) / static_cast<double>(range);
      EXPECT_NEAR(shown, real, 1e-6) << range << " " << percent;
    }
  }
}

struct FakeClock : ProgressClock {
  std::int64_t stopwatch = 0;
  std::uint32_t tick = 0;
  std::int64_t StopwatchMs() override { return stopwatch; }
  std::uint32_t TickCount() override { return tick; }
};

struct Recorder : ProgressDisplay {
  std::vector<BarState> item_bar, run_bar;
  std::vector<std::string> item_percent, run_percent, speed, status;
  void SetItemBar(BarState b) override { item_bar.push_back(b); }
  void SetRunBar(BarState b) override { run_bar.push_back(b); }
  void SetItemPercent(const std::string& t) override { item_percent.push_back(t); }
  void SetRunPercent(const std::string& t) override { run_percent.push_back(t); }
  void SetSpeed(const std::string& t) override { speed.push_back(t); }
  void SetStatus(const std::string& t) override { status.push_back(t); }
};

class ProgressRules : public ::testing::Test {
 protected:
  FakeClock clock;
  Recorder shown;
  DownloadProgress progress{shown, clock};
  RunTotals run;
  std::uint32_t label_tick = 0;  // LabelRefreshTick
};

TEST_F(ProgressRules, CallbacksFiftyMillisecondsApart) {
  run.total_bytes = 100000;
  clock.tick = 5000;
  progress.BeginItem(100000);
  progress.ShowItemStart(run);
  EXPECT_EQ(shown.item_percent, std::vector<std::string>{"0%"});
  shown = Recorder();

  std::vector<std::size_t> status_after;
  for (int i = 0; i < 10; ++i) {
    clock.tick = 5000 + 50 * i;
    clock.stopwatch = 10 + 50 * i;
    progress.OnReceive(100000, 1000 * (i + 1), run, label_tick);
    status_after.push_back(shown.status.size());
  }
  // The first callback refreshes (0 lies far back), then every third: a
  // difference of exactly 100 ms does not count.
  EXPECT_EQ(status_after, (std::vector<std::size_t>{1, 1, 1, 2, 2, 2, 3, 3, 3, 4}));
  EXPECT_EQ(shown.item_percent, (std::vector<std::string>{"1%", "4%", "7%", "10%"}));
  EXPECT_EQ(label_tick, 5450u);
  // Overall percentage and both bars follow every callback.
  EXPECT_EQ(shown.run_percent.size(), 10u);
  EXPECT_EQ(shown.run_bar.size(), 10u);
  EXPECT_EQ(shown.item_bar.size(), 10u);
  EXPECT_EQ(shown.item_bar.back(), (BarState{100000, 10000}));
  EXPECT_EQ(shown.run_percent.back(), "10%");
  // Speed: once at 10 ms (the base is the item start at 0 ms), then not
  // again within the following second.
  ASSERT_EQ(shown.speed.size(), 1u);
  EXPECT_EQ(shown.speed[0], "传输速度: 97.66 KB/s");  // 1000 bytes in 10 ms
  EXPECT_EQ(progress.progress_time(), 1010);
}

TEST_F(ProgressRules, SpeedOfExactly1024And1023BytesPerSecond) {
  run.total_bytes = 10 * kMiB;
  progress.BeginItem(10 * kMiB);
  clock.stopwatch = 1000;
  progress.OnReceive(10 * kMiB, 1024, run, label_tick);
  clock.stopwatch = 1500;  // within the second: no refresh
  progress.OnReceive(10 * kMiB, 1500, run, label_tick);
  clock.stopwatch = 1999;
  progress.OnReceive(10 * kMiB, 1900, run, label_tick);
  clock.stopwatch = 2000;
  progress.OnReceive(10 * kMiB, 2047, run, label_tick);
  EXPECT_EQ(shown.speed, (std::vector<std::string>{"传输速度: 1.00 KB/s", "传输速度: 1023.00 B/s"}));
  EXPECT_EQ(progress.last_bytes(), 2047);
  EXPECT_EQ(progress.progress_time(), 3000);
}

TEST_F(ProgressRules, NoDivisionByAZeroInterval) {
  run.total_bytes = kMiB;
  clock.stopwatch = 7000;
  progress.BeginItem(kMiB);
  // A callback at the very moment the item started: nothing to divide by.
  progress.OnReceive(kMiB, 4096, run, label_tick);
  EXPECT_TRUE(shown.speed.empty());
  clock.stopwatch = 7500;
  progress.OnReceive(kMiB, 8192, run, label_tick);
  ASSERT_EQ(shown.speed.size(), 1u);
  EXPECT_EQ(shown.speed[0], "传输速度: 16.00 KB/s");  // 8192 bytes in 0.5 s
}

TEST_F(ProgressRules, WorkedExample) {
  run.total_bytes = 3 * kMiB;
  run.done_bytes = 0;
  clock.tick = 1000;
  progress.BeginItem(3 * kMiB);
  progress.OnReceive(3 * kMiB, 3 * kMiB / 2, run, label_tick);
  EXPECT_EQ(shown.run_percent, std::vector<std::string>{"50%"});
  EXPECT_EQ(shown.status, std::vector<std::string>{"已下载: 1.50 MB\\3 MB"});
  EXPECT_EQ(shown.item_percent, std::vector<std::string>{"50%"});
  EXPECT_EQ(shown.run_bar.back(), (BarState{3 * 1048576, 3 * 1048576 / 2}));
}

TEST_F(ProgressRules, RunAbove2GiBShowsTrueProgress) {
  run.total_bytes = 6 * kGiB;
  run.done_bytes = 2 * kGiB;
  clock.tick = 1000;
  progress.BeginItem(4 * kGiB);
  progress.ShowItemStart(run);
  ASSERT_EQ(shown.run_bar.size(), 1u);
  EXPECT_NEAR(static_cast<double>(shown.run_bar[0].position) / shown.run_bar[0].max, 1.0 / 3, 1e-6);
  progress.OnReceive(4 * kGiB, 3 * kGiB, run, label_tick);
  const BarState item = shown.item_bar.back();
  const BarState all = shown.run_bar.back();
  EXPECT_GT(item.max, 0);
  EXPECT_NEAR(static_cast<double>(item.position) / item.max, 0.75, 1e-6);
  EXPECT_NEAR(static_cast<double>(all.position) / all.max, 5.0 / 6, 1e-6);
  EXPECT_EQ(shown.run_percent.back(), "83%");
  EXPECT_EQ(shown.item_percent.back(), "75%");
  EXPECT_EQ(shown.status.back(), "已下载: 3072.00 MB\\6144 MB");
}

TEST_F(ProgressRules, RefusedSizeTakesTheRangeFromTheFirstCallback) {
  run.total_bytes = 0;  // every HEAD refused
  clock.tick = 1000;
  progress.BeginItem(0);
  progress.ShowItemStart(run);
  EXPECT_EQ(shown.item_bar.back(), (BarState{0, 0}));
  progress.OnReceive(4000, 1000, run, label_tick);
  EXPECT_EQ(progress.total_size(), 4000);
  EXPECT_EQ(shown.item_bar.back(), (BarState{4000, 1000}));
  EXPECT_EQ(shown.item_percent.back(), "25%");
  // No run percentage without a positive total; the run bar stays empty.
  EXPECT_TRUE(shown.run_percent.empty());
  EXPECT_EQ(shown.run_bar.back(), (BarState{0, 0}));
}

TEST_F(ProgressRules, UnknownSizeKeepsZeroPercentUntilCompletion) {
  run.total_bytes = 5000;
  clock.tick = 1000;
  progress.BeginItem(-1);
  progress.ShowItemStart(run);
  progress.OnReceive(-1, 2000, run, label_tick);
  clock.tick = 2000;
  progress.OnReceive(-1, 4000, run, label_tick);
  EXPECT_EQ(shown.item_percent, std::vector<std::string>{"0%"});
  EXPECT_EQ(shown.status.size(), 2u);
  EXPECT_EQ(shown.item_bar.back(), (BarState{0, 0}));
  progress.OnCompleted();
  EXPECT_EQ(shown.item_percent.back(), "100%");
}

TEST_F(ProgressRules, TickCountWrapsAround) {
  run.total_bytes = 100;
  progress.BeginItem(100);
  label_tick = 0xFFFFFFF0u;
  clock.tick = 0x50;  // 96 ms later across the wrap: too soon
  progress.OnReceive(100, 10, run, label_tick);
  EXPECT_TRUE(shown.status.empty());
  clock.tick = 0x55;  // 101 ms later
  progress.OnReceive(100, 20, run, label_tick);
  EXPECT_EQ(shown.status.size(), 1u);
  EXPECT_EQ(label_tick, 0x55u);
}

TEST_F(ProgressRules, SpeedTimeCarriesOverAndLastBytesResetsPerItem) {
  run.total_bytes = 20000;
  progress.BeginItem(10000);
  clock.stopwatch = 400;
  progress.OnReceive(10000, 10000, run, label_tick);
  EXPECT_EQ(progress.progress_time(), 1400);
  EXPECT_EQ(progress.last_bytes(), 10000);
  run.done_bytes = 10000;
  clock.stopwatch = 900;
  progress.BeginItem(10000);
  EXPECT_EQ(progress.last_bytes(), 0);
  EXPECT_EQ(progress.progress_time(), 1400);
  clock.stopwatch = 1000;  // still before the carried-over refresh time
  progress.OnReceive(10000, 500, run, label_tick);
  EXPECT_EQ(shown.speed.size(), 1u);
  clock.stopwatch = 1400;  // 2000 bytes in the 500 ms since the item began
  progress.OnReceive(10000, 2000, run, label_tick);
  ASSERT_EQ(shown.speed.size(), 2u);
  EXPECT_EQ(shown.speed[1], "传输速度: 3.91 KB/s");
  EXPECT_EQ(shown.run_percent.back(), "60%");
}

}  // namespace
}  // namespace lk
