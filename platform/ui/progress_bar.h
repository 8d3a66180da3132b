#pragma once
// A progress bar (msctls_progress32) with a 32-bit range; ScaleBar
// (core/progress_text.h) fits 64-bit byte counts into it. Windows only.
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
};

}  // namespace lk::ui
