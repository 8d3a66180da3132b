#pragma once
// A picture control that sizes itself to its picture, draws it transparently
// over its parent, swaps to a hover picture while the mouse is over it and
// reports clicks. Also serves as a plain image (no hover picture, no click).
// Windows only.
#include <windows.h>

#include <functional>

#include "platform/ui/control.h"
#include "platform/ui/picture.h"

namespace lk::ui {

class ImageButton : public Control {
 public:
  // Created visible at (left, top), 0 x 0 until it gets a picture.
  ImageButton(HWND parent, int left, int top);

  // The picture shown now; the control takes its size (0 x 0 for none).
  // Bitmaps are copied; alpha pictures must be premultiplied 32-bit DIBs.
  void SetPicture(HBITMAP bitmap, Transparency mode);
  const Picture& CurrentPicture() const { return picture_; }

  // Normal and hover pictures: the normal one is shown at once, the hover
  // one while the mouse is over the control. A null hover bitmap leaves the
  // control without picture under the mouse, as an empty skin slot does.
  void SetPictures(HBITMAP normal, HBITMAP hover, Transparency mode);

  bool Hovered() const { return hovered_; }

  std::function<void()> onMouseEnter;  // after the hover picture is shown
  std::function<void()> onMouseLeave;  // after the normal picture is back
  std::function<void()> onClick;       // left press and release on the control

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Show(const Picture& picture);
  void Paint(HDC dc);

  Picture picture_;
  Picture normal_;
  Picture hover_;
  bool hasHover_ = false;
  bool hovered_ = false;
  bool pressed_ = false;
};

}  // namespace lk::ui
