#include "platform/ui/popup_menu.h"

#include "platform/handles.h"
#include "platform/text.h"
#include "platform/ui/control.h"

namespace lk::ui {

PopupMenu::PopupMenu() : menu_(CreatePopupMenu()) {
  if (!menu_) ThrowLastError("CreatePopupMenu");
}

int PopupMenu::Add(std::string_view text, std::function<void()> onClick) {
  const int index = Count();
  // Command identifiers start at 1: TrackPopupMenu returns 0 for "nothing".
  if (!AppendMenuW(menu_.get(), MF_STRING, static_cast<UINT_PTR>(index + 1), Wide(text).c_str()))
    ThrowLastError("AppendMenuW");
  handlers_.push_back(std::move(onClick));
  return index;
}

void PopupMenu::SetItemText(int index, std::string_view text) {
  ModifyMenuW(menu_.get(), static_cast<UINT>(index), MF_BYPOSITION | MF_STRING,
              static_cast<UINT_PTR>(index + 1), Wide(text).c_str());
}

std::string PopupMenu::ItemText(int index) const {
  const int n = GetMenuStringW(menu_.get(), static_cast<UINT>(index), nullptr, 0, MF_BYPOSITION);
  if (n <= 0) return {};
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetMenuStringW(menu_.get(), static_cast<UINT>(index), buf.data(), n + 1, MF_BYPOSITION);
  buf.resize(static_cast<size_t>(got > 0 ? got : 0));
  return Narrow(buf);
}

int PopupMenu::Popup(HWND owner, POINT screenPoint) {
  // A menu closes on a click elsewhere only when its owner is the
  // foreground window; the WM_NULL afterwards is the documented companion.
  SetForegroundWindow(owner);
  const UINT command = static_cast<UINT>(TrackPopupMenuEx(
      menu_.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
      screenPoint.x, screenPoint.y, owner, nullptr));
  PostMessageW(owner, WM_NULL, 0, 0);
  if (command == 0 || command > handlers_.size()) return -1;
  const int index = static_cast<int>(command) - 1;
  if (const auto& handler = handlers_[static_cast<size_t>(index)]) Guarded([&] { handler(); });
  return index;
}

POINT ScreenPointBelow(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  return POINT{r.left, r.bottom};
}

}  // namespace lk::ui
