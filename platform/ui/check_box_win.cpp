#include "platform/ui/check_box.h"

namespace lk::ui {

CheckBox::CheckBox(HWND parent, const Rect& bounds) {
  EnsureCommonControls();
  Attach(CreateChild(parent, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, bounds, "CheckBox"),
         "CheckBox");
}

bool CheckBox::Checked() const { return SendMessageW(Hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::SetChecked(bool checked) {
  SendMessageW(Hwnd(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckBox::OnCommand(UINT code) {
  if (code != BN_CLICKED) return false;
  if (onClick) {
    const bool checked = Checked();
    Guarded([&] { onClick(checked); });
  }
  return true;
}

}  // namespace lk::ui
