#include "platform/ui/tree_view.h"

#include <cstring>

#include "platform/text.h"

namespace lk::ui {

TreeView::TreeView(HWND parent, const Rect& bounds) {
  EnsureCommonControls();
  // TVS_SHOWSELALWAYS: the chosen zone stays marked while the focus is
  // elsewhere. No TVS_EDITLABELS: texts are not editable.
  Attach(CreateChild(
             parent, WC_TREEVIEWW,
             WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 0,
             bounds, "TreeView"),
         "TreeView");
  // Filling or recolouring many zones must not flicker.
  TreeView_SetExtendedStyle(Hwnd(), TVS_EX_DOUBLEBUFFER, TVS_EX_DOUBLEBUFFER);
}

HTREEITEM TreeView::AddItem(HTREEITEM parent, std::string_view text, void* data) {
  std::wstring wide = Wide(text);
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent ? parent : TVI_ROOT;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM;
  ins.item.pszText = wide.data();
  ins.item.lParam = reinterpret_cast<LPARAM>(data);
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(Hwnd(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
}

void TreeView::Clear() { SendMessageW(Hwnd(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

HTREEITEM TreeView::Selected() const {
  return reinterpret_cast<HTREEITEM>(SendMessageW(Hwnd(), TVM_GETNEXTITEM, TVGN_CARET, 0));
}

void TreeView::Select(HTREEITEM item) {
  SendMessageW(Hwnd(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

std::string TreeView::ItemText(HTREEITEM item) const {
  // Zone names are short; 260 UTF-16 units is the tree's own edit limit.
  wchar_t buf[261] = {};
  TVITEMW it{};
  it.mask = TVIF_TEXT;
  it.hItem = item;
  it.pszText = buf;
  it.cchTextMax = 261;
  if (!SendMessageW(Hwnd(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it))) return {};
  return Narrow(it.pszText ? it.pszText : L"");
}

void* TreeView::ItemData(HTREEITEM item) const {
  TVITEMW it{};
  it.mask = TVIF_PARAM;
  it.hItem = item;
  if (!SendMessageW(Hwnd(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it))) return nullptr;
  return reinterpret_cast<void*>(it.lParam);
}

int TreeView::ItemLevel(HTREEITEM item) const {
  int level = -1;
  for (HTREEITEM p = item; p; p = TreeView_GetParent(Hwnd(), p)) ++level;
  return level;
}

HTREEITEM TreeView::NextInOrder(HTREEITEM item) const {
  HWND tree = Hwnd();
  if (!item) return TreeView_GetRoot(tree);
  if (HTREEITEM child = TreeView_GetChild(tree, item)) return child;
  for (HTREEITEM p = item; p; p = TreeView_GetParent(tree, p)) {
    if (HTREEITEM next = TreeView_GetNextSibling(tree, p)) return next;
  }
  return nullptr;
}

int TreeView::Count() const { return static_cast<int>(SendMessageW(Hwnd(), TVM_GETCOUNT, 0, 0)); }

void TreeView::Expand(HTREEITEM item) { TreeView_Expand(Hwnd(), item, TVE_EXPAND); }

RECT TreeView::ItemRect(HTREEITEM item) const {
  // TVM_GETITEMRECT takes the item handle in the rectangle's first bytes.
  RECT r{};
  std::memcpy(&r, &item, sizeof item);
  if (!SendMessageW(Hwnd(), TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&r))) return RECT{};
  return r;
}

void TreeView::SetColors(COLORREF background, COLORREF text) {
  TreeView_SetBkColor(Hwnd(), background);
  TreeView_SetTextColor(Hwnd(), text);
  // The lines take the text colour; the default grey is lost on black.
  TreeView_SetLineColor(Hwnd(), text);
}

void TreeView::SetIndent(int pixels) { TreeView_SetIndent(Hwnd(), pixels); }

void TreeView::SetRedraw(bool on) {
  SendMessageW(Hwnd(), WM_SETREDRAW, on ? TRUE : FALSE, 0);
  if (on) RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

bool TreeView::OnNotify(NMHDR* header, LRESULT* result) {
  switch (header->code) {
    case NM_CUSTOMDRAW: {
      auto* cd = reinterpret_cast<NMTVCUSTOMDRAW*>(header);
      if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
        *result = itemColor ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
        return true;
      }
      if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        std::optional<COLORREF> color;
        auto* item = reinterpret_cast<HTREEITEM>(cd->nmcd.dwItemSpec);
        Guarded([&] {
          color = itemColor(TreeItemDraw{item, static_cast<int>(cd->iLevel),
                                         reinterpret_cast<void*>(cd->nmcd.lItemlParam), cd->nmcd.uItemState});
        });
        if (color) cd->clrText = *color;
        *result = CDRF_DODEFAULT;
        return true;
      }
      *result = CDRF_DODEFAULT;
      return true;
    }
    case TVN_SELCHANGEDW: {
      auto* nm = reinterpret_cast<NMTREEVIEWW*>(header);
      TreeSelectionChange change{};
      change.item = nm->itemNew.hItem;
      change.cause = nm->action == TVC_BYMOUSE      ? ChangeCause::kMouse
                     : nm->action == TVC_BYKEYBOARD ? ChangeCause::kKeyboard
                                                    : ChangeCause::kUnknown;
      change.leftButtonDown = (GetKeyState(VK_LBUTTON) & 0x8000) != 0;
      if (onSelectionChanged) Guarded([&] { onSelectionChanged(change); });
      *result = 0;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace lk::ui
