#pragma once
// The settings dialog's form: where each control lies, in twips, and the form's look. Every
// platform's view places its windows from here.

#include "host/controls/colour.h"

namespace pellarin::dialog_layout {

struct TwipRect {
  int left;
  int top;
  int width;
  int height;
};

inline constexpr Colour kFormBack = 0xE0E0E0;
inline constexpr int kClientWidth = 7455;
inline constexpr int kClientHeight = 3990;

// On the form.
inline constexpr TwipRect kFrame{180, 180, 7155, 2595};
inline constexpr int kFrameShadowDepth = 7;
inline constexpr TwipRect kAnimationBoxes[2] = {{180, 2880, 1845, 780}, {5400, 2880, 1845, 780}};
inline constexpr TwipRect kSetButton{2100, 2880, 1575, 495};
inline constexpr TwipRect kCancelButton{3780, 2880, 1515, 495};
inline constexpr TwipRect kCreditLine{2160, 3480, 2475, 195};

// On the frame. The etched box around the heading is a black rectangle with a white one
// kEtchOffset twips to the right and down.
inline constexpr TwipRect kHeadingBox{300, 240, 1695, 315};
inline constexpr int kEtchOffset = 15;
inline constexpr TwipRect kHeading{300, 300, 1665, 195};
// Indexed by the kind of music: 0 none, 1 CD, 2 file.
inline constexpr TwipRect kMarks[3] = {
    {420, 1080, 195, 195}, {420, 780, 195, 195}, {420, 1380, 195, 195}};
inline constexpr TwipRect kKindLabels[3] = {
    {660, 1080, 330, 195}, {660, 780, 645, 195}, {660, 1380, 900, 195}};
inline constexpr TwipRect kRepeat{1440, 720, 615, 300};
inline constexpr TwipRect kRepeatLabel{2100, 780, 990, 195};
inline constexpr TwipRect kFileButton{360, 1680, 675, 375};
inline constexpr TwipRect kFileName{1080, 1680, 5595, 495};

// The animation's timer.
inline constexpr int kAnimationTickMs = 100;

// Labels and buttons: 9.75 points in the Japanese character set (128); the family is each
// platform's own.
inline constexpr double kFontPoints = 9.75;
inline constexpr int kFontCharset = 128;

}  // namespace pellarin::dialog_layout
