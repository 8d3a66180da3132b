#pragma once
// A popup menu of text items, each with its own click handler. Windows only.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/handles.h"

namespace lk::ui {

class PopupMenu {
 public:
  PopupMenu();

  // Appends an item; returns its index.
  int Add(std::string_view text, std::function<void()> onClick);
  void SetItemText(int index, std::string_view text);
  std::string ItemText(int index) const;
  int Count() const { return static_cast<int>(handlers_.size()); }
  HMENU Handle() const { return menu_.get(); }

  // Shows the menu with its top left corner at a screen point and returns
  // when it closes; a chosen item's handler runs before the return. Returns
  // the chosen index, or -1 when the menu was dismissed.
  int Popup(HWND owner, POINT screenPoint);

 private:
  UniqueMenu menu_;
  std::vector<std::function<void()>> handlers_;
};

// The screen position of a child window's bottom left corner: where a menu
// opened "below" it starts.
POINT ScreenPointBelow(HWND child);

}  // namespace lk::ui
