#include "platform/ui/progress_scale.h"

#include <algorithm>

namespace lk::ui {

ProgressRange ScaleProgress(std::int64_t total, std::int64_t done) {
  const std::uint64_t t = total > 0 ? static_cast<std::uint64_t>(total) : 0;
  const std::uint64_t d = done > 0 ? static_cast<std::uint64_t>(done) : 0;
  const std::uint64_t larger = std::max(t, d);
  int shift = 0;
  while ((larger >> shift) > static_cast<std::uint64_t>(INT32_MAX)) ++shift;
  return ProgressRange{static_cast<std::int32_t>(t >> shift), static_cast<std::int32_t>(d >> shift)};
}

}  // namespace lk::ui
