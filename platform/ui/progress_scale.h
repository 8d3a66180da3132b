#pragma once
// Portable (no Win32): fitting 64-bit byte counts into a progress bar's
// signed 32-bit range. Passing the low 32 bits of the counts, as a bare
// conversion does, makes a bar meaningless from 2 GiB on: 5 GiB of 6 GiB
// would show as about 1 GiB of 2 GiB. Both counts are instead shifted right
// by the same number of bits, just enough for the larger to fit, which keeps
// their ratio (to 1 part in 2^30) and leaves small counts exact.
#include <cstdint>

namespace lk::ui {

struct ProgressRange {
  std::int32_t max;
  std::int32_t position;
  bool operator==(const ProgressRange&) const = default;
};

// Negative counts count as 0. The position may exceed the maximum (an item
// larger than announced); the bar itself then shows full.
ProgressRange ScaleProgress(std::int64_t total, std::int64_t done);

}  // namespace lk::ui
