#pragma once
// The arithmetic of the main window's skin layout and of restoring the
// player's display choices, apart from any window so it is tested on the
// host. The window code applies these results to its controls.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/logininfo.h"

namespace lk {

// One progress row: its caption label, its bar and its percentage label.
struct ProgressRowLayout {
  bool captionVisible = false;
  TSize caption;     // left, top of the caption label (only when shown)
  TSize bar;         // left, top of the bar
  std::int32_t barWidth = 0;
  TSize percent;     // left, top of the percentage label
  bool operator==(const ProgressRowLayout&) const = default;
};

// With the caption the bar starts 30 pixels into the row and is 75 pixels
// narrower than the row; without it the bar starts at the row's left and is
// 45 pixels narrower. The percentage follows the bar's right end by 5
// pixels in both cases (35 = 30 + 5 from the row's left with the caption).
ProgressRowLayout LayOutProgressRow(bool captionOn, TSize origin, TSize size);

// The speed label's left edge: 130 pixels before the right end of the
// status area.
std::int32_t SpeedLabelLeft(TSize statusPoint, TSize statusSize);

// The title font size in points: the integer part of the skin's size (the
// fraction is dropped, not rounded; 10.9 gives 10). Sizes outside 0..1000
// (a damaged skin) are clamped to that range.
int TitleFontPoints(float size);

// The fixed choice lists of the window, in list order.
const std::vector<std::string>& InterfaceChoices();   // "3G界面", "1.45界面", "新3G界面"
const std::vector<std::string>& ResolutionChoices();  // "800*600" ... "1920*1080"

// The Resolution entry to select for the stored ScreenWidth/ScreenHeight:
// the first entry equal to width + "*" + height when both are non-empty,
// otherwise (or without a match) entry 0.
int RestoredResolutionIndex(const std::vector<std::string>& entries, std::string_view width,
                            std::string_view height);

// The InterfaceSelection entry for the stored Interface value: the signed
// number rule, 1 for a value that breaks it (the empty text included). A
// number below count selects that entry (a negative one: none, -1); one at
// or above count leaves entry 1.
int RestoredInterfaceIndex(std::string_view stored, int count);

// The full-screen box is ticked exactly for "1".
bool RestoredFullScreen(std::string_view stored);

}  // namespace lk
