// Fitting 64-bit byte counts into a progress bar's 32-bit range.
#include "platform/ui/progress_scale.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace lk::ui {
namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;

struct ScaleCase {
  std::int64_t total;
  std::int64_t done;
  ProgressRange expected;
};

class ScaleProgressTable : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleProgressTable, Scales) {
  const ScaleCase& c = GetParam();
  EXPECT_EQ(ScaleProgress(c.total, c.done), c.expected) << c.total << " / " << c.done;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaleProgressTable,
    ::testing::Values(
        // Counts that fit stay exact.
        ScaleCase{0, 0, {0, 0}}, ScaleCase{100, 37, {100, 37}},
        ScaleCase{INT32_MAX, INT32_MAX, {INT32_MAX, INT32_MAX}},
        // 2 GiB needs one bit; the ratio stays.
        ScaleCase{2 * kGiB, kGiB, {kGiB, kGiB / 2}}, ScaleCase{std::int64_t{INT32_MAX} + 1, 1, {kGiB, 0}},
        // 6 GiB with 5 GiB done: five sixths, not "1 GiB of 2 GiB".
        ScaleCase{6 * kGiB,
                  5 * kGiB,
                  {static_cast<std::int32_t>(6 * kGiB >> 2), static_cast<std::int32_t>(5 * kGiB >> 2)}},
        // More done than announced (a server that did not say the size):
        // the larger count decides the shift, the position may pass the end.
        ScaleCase{100, 3 * kGiB, {50, static_cast<std::int32_t>(3 * kGiB / 2)}},
        // Negative counts are nothing.
        ScaleCase{-5, 10, {0, 10}}, ScaleCase{10, -1, {10, 0}}, ScaleCase{INT64_MIN, INT64_MIN, {0, 0}},
        ScaleCase{INT64_MAX, INT64_MAX, {INT32_MAX, INT32_MAX}}));

TEST(ScaleProgress, KeepsTheRatioForLargeCounts) {
  for (std::int64_t total : {3 * kGiB, 17 * kGiB, std::int64_t{1} << 50, INT64_MAX / 3}) {
    for (int percent : {0, 1, 33, 50, 99, 100}) {
      const std::int64_t done = total / 100 * percent;
      const ProgressRange r = ScaleProgress(total, done);
      ASSERT_GT(r.max, INT32_MAX / 2) << "uses the upper half of the range: " << total;
      const double shown = static_cast<double>(r.position) / r.max;
      const double real = static_cast<double>(done) / static_cast<double>(total);
      EXPECT_NEAR(shown, real, 1e-6) << total << " " << percent;
    }
  }
}

}  // namespace
}  // namespace lk::ui
