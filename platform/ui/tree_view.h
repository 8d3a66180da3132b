#pragma once
// A tree control (SysTreeView32) with item data pointers, a per-item colour
// hook answered through custom draw, and a selection-change event that says
// how the change came about. Windows only.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/control.h"

namespace lk::ui {

enum class ChangeCause { kUnknown, kMouse, kKeyboard };

struct TreeSelectionChange {
  HTREEITEM item;     // the new selection, null for none
  ChangeCause cause;  // from the notification's action (TVC_BYMOUSE ...)
  // GetKeyState(VK_LBUTTON) at the notification. Windows selects on the
  // press, so this reads "down" for a click; Wine selects on the release and
  // reads "up": a click is the union of both signs.
  bool leftButtonDown;
};

// The item being drawn, for the colour hook.
struct TreeItemDraw {
  HTREEITEM item;
  int level;  // 0 for a top-level item
  void* data;
  UINT state;  // CDIS_SELECTED, CDIS_FOCUS ...
};

class TreeView : public Control {
 public:
  TreeView(HWND parent, const Rect& bounds);

  // Adds at the end of parent's children (null parent: top level).
  HTREEITEM AddItem(HTREEITEM parent, std::string_view text, void* data = nullptr);
  void Clear();

  HTREEITEM Selected() const;
  // Null clears the selection. Raises onSelectionChanged when it changes.
  void Select(HTREEITEM item);

  std::string ItemText(HTREEITEM item) const;
  void* ItemData(HTREEITEM item) const;
  int ItemLevel(HTREEITEM item) const;
  // Every item in display order (parents before children, expanded or not):
  // nullptr starts, nullptr ends.
  HTREEITEM NextInOrder(HTREEITEM item) const;
  int Count() const;
  void Expand(HTREEITEM item);
  // The item's row rectangle in the tree's client coordinates.
  RECT ItemRect(HTREEITEM item) const;

  void SetColors(COLORREF background, COLORREF text);
  void SetIndent(int pixels);
  // Suspends drawing while many items are added (WM_SETREDRAW).
  void SetRedraw(bool on);

  // Chooses the text colour of each item as it is drawn; nullopt keeps the
  // tree's own colour. The default drawing stays on.
  std::function<std::optional<COLORREF>(const TreeItemDraw&)> itemColor;
  std::function<void(const TreeSelectionChange&)> onSelectionChanged;

  bool OnNotify(NMHDR* header, LRESULT* result) override;
};

}  // namespace lk::ui
