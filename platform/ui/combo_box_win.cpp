#include "platform/ui/combo_box.h"

#include <commctrl.h>

#include "platform/text.h"

namespace lk::ui {

namespace {
// The dropped list shows about this many entries before it scrolls.
constexpr int kDroppedHeight = 200;
}  // namespace

ComboBox::ComboBox(HWND parent, const Rect& bounds) : closedHeight_(bounds.height) {
  EnsureCommonControls();
  // The window height of a drop-down combo box is that of the open list;
  // the closed box follows its selection field's height (ApplyHeight).
  Rect r = bounds;
  r.height = kDroppedHeight;
  Attach(CreateChild(parent, WC_COMBOBOXW, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, r,
                     "ComboBox"),
         "ComboBox");
  ApplyHeight();
}

void ComboBox::ApplyHeight() {
  if (closedHeight_ <= 0) return;
  // The closed box is the selection field plus its border (3 pixels above
  // and below with visual styles and without).
  const int field = closedHeight_ - 6;
  if (field > 0) SendMessageW(Hwnd(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
}

void ComboBox::FontChanged() { ApplyHeight(); }

int ComboBox::Add(std::string_view text) {
  return static_cast<int>(
      SendMessageW(Hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str())));
}

int ComboBox::Insert(int index, std::string_view text) {
  return static_cast<int>(SendMessageW(Hwnd(), CB_INSERTSTRING, static_cast<WPARAM>(index),
                                       reinterpret_cast<LPARAM>(Wide(text).c_str())));
}

void ComboBox::Clear() { SendMessageW(Hwnd(), CB_RESETCONTENT, 0, 0); }

int ComboBox::Count() const { return static_cast<int>(SendMessageW(Hwnd(), CB_GETCOUNT, 0, 0)); }

std::string ComboBox::ItemText(int index) const {
  const LRESULT n = SendMessageW(Hwnd(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == CB_ERR) return {};
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  const LRESULT got =
      SendMessageW(Hwnd(), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf.data()));
  buf.resize(got == CB_ERR ? 0 : static_cast<size_t>(got));
  return Narrow(buf);
}

int ComboBox::SelectedIndex() const { return static_cast<int>(SendMessageW(Hwnd(), CB_GETCURSEL, 0, 0)); }

void ComboBox::Select(int index) { SendMessageW(Hwnd(), CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

bool ComboBox::OnCommand(UINT code) {
  if (code != CBN_SELCHANGE) return false;
  if (onChange) {
    const int index = SelectedIndex();
    Guarded([&] { onChange(index); });
  }
  return true;
}

}  // namespace lk::ui
