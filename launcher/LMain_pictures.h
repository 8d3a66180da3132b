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
// The status dots: PNGs carried as raw-data resources of the running
// program.
inline constexpr const wchar_t* kGreyDot = L"PngImage_1";
inline constexpr const wchar_t* kGreenDot = L"PngImage_2";
// Decodes the status dots, once per run and on any thread (start-up does it
// beside the window's construction); later calls return at once, or wait
// for a decode under way.
void LoadResourcePictures();
// A status dot (kGreyDot, kGreenDot) as the control's picture, drawn with
// its alpha channel; an empty picture when the program has no such
// resource.
void SetResourcePicture(ui::ImageButton& button, const wchar_t* resourceName);

}  // namespace lk
