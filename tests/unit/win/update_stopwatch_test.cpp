// The run's stopwatch.
#include <gtest/gtest.h>
#include <windows.h>

#include "launcher/update_download.h"

namespace lk {
namespace {

TEST(UpdateStopwatchTest, RunsFromZeroAndHoldsItsReadingWhenStopped) {
  Stopwatch watch;
  EXPECT_EQ(watch.ElapsedMs(), 0);  // never started
  EXPECT_FALSE(watch.Running());
  watch.Start();
  EXPECT_TRUE(watch.Running());
  Sleep(120);
  const std::int64_t running = watch.ElapsedMs();
  EXPECT_GE(running, 100);
  EXPECT_LT(running, 5000);
  watch.Stop();
  const std::int64_t stopped = watch.ElapsedMs();
  Sleep(60);
  EXPECT_EQ(watch.ElapsedMs(), stopped);
  EXPECT_GE(stopped, running);
  watch.Start();  // anew from zero
  EXPECT_LT(watch.ElapsedMs(), running);
}

}  // namespace
}  // namespace lk
