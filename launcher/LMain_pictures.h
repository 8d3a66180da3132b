#pragma once
// Skin and resource pictures onto the window toolkit's controls.
#include <windows.h>

#include "core/logininfo.h"
#include "platform/ui/image_button.h"

namespace lk {

// Normal and hover picture of an image button (sized to the normal one;
// 0 x 0 without one): a PNG drawn with its alpha channel, a bitmap leaving
// out the colour of its bottom-left pixel.
void SetButtonPictures(ui::ImageButton& button, const ImageRef& normal, const ImageRef& hover);
// A PNG carried as a raw-data resource of the running program (name
// matched without regard to case) as the control's picture; an empty
// picture when the program has no such resource.
void SetResourcePicture(ui::ImageButton& button, const wchar_t* resourceName);

}  // namespace lk
