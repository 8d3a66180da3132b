#pragma once
// A progress bar (msctls_progress32) with a 32-bit range, and a helper that
// fits 64-bit byte counts into it (progress_scale.h). Windows only.
#include <windows.h>

#include <cstdint>

#include "platform/ui/control.h"

namespace lk::ui {

class ProgressBar : public Control {
 public:
  ProgressBar(HWND parent, const Rect& bounds);

  void SetRange(std::int32_t min, std::int32_t max);
  void SetPosition(std::int32_t position);
  std::int32_t Min() const;
  std::int32_t Max() const;
  std::int32_t Position() const;

  // Range 0..total and position done, both scaled alike when the counts do
  // not fit into 32 bits.
  void SetBytes(std::int64_t total, std::int64_t done);
};

}  // namespace lk::ui
