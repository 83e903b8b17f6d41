// Where the main window's controls sit, in client-area pixels. The window places its
// controls here and the artwork generator draws labels and button faces around the same
// rectangles, so the two cannot drift apart.
#pragma once

#include "dialogs/dialog_look.h"

#include <QRect>
#include <QSize>

namespace picbatch {

namespace layout {

inline constexpr QSize kClientSize{671, 422};
inline constexpr QSize kArtworkSize{674, 480};  // larger than the client area: cut off

inline constexpr QRect kSourceButton{404, 186, 70, 20};
inline constexpr QRect kDestinationButton{405, 222, 69, 20};
inline constexpr QRect kCustomSizeButton{404, 268, 71, 21};
inline constexpr QRect kStartButton{405, 324, 70, 32};
inline constexpr QRect kSourceField{156, 188, 219, 17};
inline constexpr QRect kDestinationField{156, 225, 220, 17};
inline constexpr QRect kSizeList{154, 268, 226, 21};
inline constexpr QRect kKeepFormatRadio{166, 332, 17, 17};
inline constexpr QRect kJpegRadio{240, 333, 15, 17};
inline constexpr QRect kBmpRadio{318, 333, 14, 17};
inline constexpr QRect kProgressBar{149, 370, 238, 12};
inline constexpr QPoint kProgressLabel{416, 369};  // top left; the label fits its text
inline constexpr QRect kHelpLink{256, 119, 105, 17};
inline constexpr QRect kHelpCaption{152, 120, 91, 13};  // over the help line's caption
inline constexpr QRect kOptionsLink{372, 119, 40, 17};  // right of the help link, over plain background

// Corner radius of the button faces in the artwork, matched by the buttons' veils.
inline constexpr qreal kFaceRadius = 4;

inline constexpr int kTimerInterval = 80;  // milliseconds between two ticks of a run

// The font every text of the window and its artwork is drawn in; the window's controls use
// it at kFontPoints, the link label at kLinkFontPoints.
inline constexpr const char* kFontFamily = kUiFontFamily;
inline constexpr int kFontPoints = 8;
inline constexpr int kLinkFontPoints = 9;

// The help page's address as the link label shows it (in capitals) and as it is opened.
inline constexpr const char* kHelpAddress = "picbatch:help";

}  // namespace layout

}  // namespace picbatch
