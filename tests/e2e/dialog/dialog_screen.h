#pragma once
// The settings dialog as a test sees it on the screen, the same for every platform's dialog:
// where its controls lie in client pixels (15 twips a pixel), and the settings file that saved
// choices leave behind.

#include <string>
#include <string_view>

#include "host/dialog/dialog_layout.h"

namespace pellarin::testing::dialog_screen {

namespace L = dialog_layout;

constexpr int kTwipsPerPixel = 15;
constexpr int px(int twips) {
  return twips / kTwipsPerPixel;
}

struct Spot {
  int x;
  int y;
};

// A rectangle of the form in client pixels: left, top, width, height.
struct Area {
  int left;
  int top;
  int width;
  int height;
};
constexpr Area onForm(const L::TwipRect& r) {
  return {px(r.left), px(r.top), px(r.width), px(r.height)};
}
constexpr Area onFrame(const L::TwipRect& r) {
  return {px(L::kFrame.left + r.left), px(L::kFrame.top + r.top), px(r.width), px(r.height)};
}
constexpr Spot middleOf(const Area& a) {
  return {a.left + a.width / 2, a.top + a.height / 2};
}

constexpr int kClientWidth = px(L::kClientWidth);
constexpr int kClientHeight = px(L::kClientHeight);
constexpr Area kFrame = onForm(L::kFrame);
constexpr Area kSetButton = onForm(L::kSetButton);
constexpr Area kCancelButton = onForm(L::kCancelButton);
constexpr Area kFileButton = onFrame(L::kFileButton);
constexpr Area kRepeat = onFrame(L::kRepeat);
constexpr Area kAnimationBoxes[2] = {onForm(L::kAnimationBoxes[0]), onForm(L::kAnimationBoxes[1])};
constexpr Area kMarks[3] = {onFrame(L::kMarks[0]), onFrame(L::kMarks[1]), onFrame(L::kMarks[2])};
constexpr Area kKindLabels[3] = {onFrame(L::kKindLabels[0]), onFrame(L::kKindLabels[1]),
                                 onFrame(L::kKindLabels[2])};

// Within the first characters of a kind's label (kind 0 none, 1 CD, 2 file).
constexpr Spot kindLabel(int kind) {
  return {kKindLabels[kind].left + 10, kKindLabels[kind].top + 6};
}
// In the track box's text field, left of its arrow.
constexpr Spot kTrackEntry{kRepeat.left + 10, kRepeat.top + 10};
constexpr Spot kSet = middleOf(kSetButton);
constexpr Spot kCancel = middleOf(kCancelButton);
constexpr Spot kFile = middleOf(kFileButton);
constexpr Spot box(int index) {
  return middleOf(kAnimationBoxes[index]);
}

// The keys as the settings file holds them, in code page 932.
inline const std::string kKindKey = "BGM\x8B\xE6\x95\xAA";
inline const std::string kRepeatKey = "BGM\xD8\xCB\xDF\xB0\xC4";
inline const std::string kFileKey = "BGM\xCC\xA7\xB2\xD9";

// What "設定" leaves in a settings file that did not exist: the three keys in their order, the
// numbers after a blank.
inline std::string savedSettings(int kind, int track, std::string_view file) {
  return "[Settings]\r\n" + kKindKey + "= " + std::to_string(kind) + "\r\n" + kRepeatKey + "= " +
         std::to_string(track) + "\r\n" + kFileKey + "=" + std::string(file) + "\r\n";
}

}  // namespace pellarin::testing::dialog_screen
