#pragma once
// A pick-only drop-down list (ComboBox with CBS_DROPDOWNLIST). Windows only.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/ui/control.h"

namespace lk::ui {

class ComboBox : public Control {
 public:
  // bounds.height is the height of the closed box; the list drops below it.
  ComboBox(HWND parent, const Rect& bounds);

  int Add(std::string_view text);
  int Insert(int index, std::string_view text);
  void Clear();
  int Count() const;
  std::string ItemText(int index) const;
  // -1 for no selection.
  int SelectedIndex() const;
  void Select(int index);

  // The player picked an entry (CBN_SELCHANGE); not raised by Select.
  std::function<void(int)> onChange;

  bool OnCommand(UINT code) override;

 private:
  void FontChanged() override;
  void ApplyHeight();
  int closedHeight_;
};

}  // namespace lk::ui
