#include "platform/ui/progress_bar.h"

#include <commctrl.h>

namespace lk::ui {

ProgressBar::ProgressBar(HWND parent, const Rect& bounds) {
  EnsureCommonControls();
  Attach(CreateChild(parent, PROGRESS_CLASSW, WS_VISIBLE, 0, bounds, "ProgressBar"), "ProgressBar");
}

void ProgressBar::SetRange(std::int32_t min, std::int32_t max) {
  SendMessageW(Hwnd(), PBM_SETRANGE32, static_cast<WPARAM>(min), static_cast<LPARAM>(max));
}

void ProgressBar::SetPosition(std::int32_t position) {
  SendMessageW(Hwnd(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

std::int32_t ProgressBar::Min() const {
  return static_cast<std::int32_t>(SendMessageW(Hwnd(), PBM_GETRANGE, TRUE, 0));
}

std::int32_t ProgressBar::Max() const {
  return static_cast<std::int32_t>(SendMessageW(Hwnd(), PBM_GETRANGE, FALSE, 0));
}

std::int32_t ProgressBar::Position() const {
  return static_cast<std::int32_t>(SendMessageW(Hwnd(), PBM_GETPOS, 0, 0));
}

}  // namespace lk::ui
