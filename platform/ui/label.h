#pragma once
// A text label drawn over whatever its parent shows under it (transparent
// background), sizing itself to its text. Windows only.
#include <windows.h>

#include <string_view>

#include "platform/ui/control.h"

namespace lk::ui {

class Label : public Control {
 public:
  // Created visible at (left, top); the size follows the text.
  Label(HWND parent, int left, int top, std::string_view text);

  void SetColor(COLORREF color);
  COLORREF Color() const { return color_; }
  // Text and font changes resize the label to the text's extent.
  void SetCaption(std::string_view text);
  // The extent of the current text in the current font.
  SIZE TextExtent() const;

 protected:
  void FontChanged() override;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Paint(HDC dc);
  void AutoSize();

  COLORREF color_ = RGB(0, 0, 0);
};

}  // namespace lk::ui
