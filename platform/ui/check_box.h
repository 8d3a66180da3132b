#pragma once
// A tick box (BS_AUTOCHECKBOX); its caption is usually a separate label.
// Windows only.
#include <windows.h>

#include <functional>

#include "platform/ui/control.h"

namespace lk::ui {

class CheckBox : public Control {
 public:
  CheckBox(HWND parent, const Rect& bounds);

  bool Checked() const;
  // Does not raise onClick.
  void SetChecked(bool checked);

  // The player toggled the box; the argument is the new state.
  std::function<void(bool)> onClick;

  bool OnCommand(UINT code) override;
};

}  // namespace lk::ui
