#include "core/window_layout.h"

#include <algorithm>
#include <cmath>

#include "core/number_rules.h"

namespace lk {

ProgressRowLayout LayOutProgressRow(bool captionOn, TSize origin, TSize size) {
  ProgressRowLayout row;
  row.captionVisible = captionOn;
  row.caption = origin;
  const std::int32_t indent = captionOn ? 30 : 0;
  row.barWidth = size.cx - (captionOn ? 75 : 45);
  row.bar = {origin.cx + indent, origin.cy + 2};
  row.percent = {origin.cx + row.barWidth + indent + 5, origin.cy};
  return row;
}

std::int32_t SpeedLabelLeft(TSize statusPoint, TSize statusSize) {
  return statusPoint.cx + statusSize.cx - 130;
}

int TitleFontPoints(float size) {
  if (!(size > 0)) return 0;  // also NaN
  if (size > 1000) return 1000;
  return static_cast<int>(std::trunc(size));
}

const std::vector<std::string>& InterfaceChoices() {
  static const std::vector<std::string> choices = {"3G界面", "1.45界面", "新3G界面"};
  return choices;
}

const std::vector<std::string>& ResolutionChoices() {
  static const std::vector<std::string> choices = {"800*600",  "1024*768", "1366*768", "1280*800",
                                                   "1440*900", "1600*900", "1920*1080"};
  return choices;
}

int RestoredResolutionIndex(const std::vector<std::string>& entries, std::string_view width,
                            std::string_view height) {
  if (width.empty() || height.empty()) return 0;
  std::string wanted(width);
  wanted += '*';
  wanted += height;
  const auto it = std::find(entries.begin(), entries.end(), wanted);
  return it == entries.end() ? 0 : static_cast<int>(it - entries.begin());
}

int RestoredInterfaceIndex(std::string_view stored, int count) {
  const int value = TryParseSignedInt32(stored).value_or(1);
  if (value < 0) return -1;
  return value < count ? value : 1;
}

bool RestoredFullScreen(std::string_view stored) { return stored == "1"; }

}  // namespace lk
