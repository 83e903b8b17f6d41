// What both dialogs share in their look: the background colour, the font and the
// placement in the middle of the screen.
#pragma once

#include <QFont>

class QDialog;
class QPushButton;
class QRect;
class QWidget;

namespace picbatch {

// Registers the bundled icons and glyphs; a static library needs this before first use.
void InitDialogResources();

// The sans-serif family with Chinese glyphs that the windows, their dialogs and the main
// window's artwork are drawn in.
inline constexpr const char* kUiFontFamily = "WenQuanYi Micro Hei";

// kUiFontFamily at pointSize (any sans-serif when it is not installed).
QFont DialogFont(int pointSize);

// Light blue background (red 233, green 240, blue 248), fixed client size, caption, title
// bar with the close box only, and pointSize as the font of every control.
void SetUpDialogWindow(QDialog& dialog, const QString& caption, int width, int height, int pointSize);

// Moves the dialog to the middle of the screen it is on.
void CentreOnScreen(QDialog& dialog);

// A push button named name with the glyph (BBOK or BBCANCEL) left of its caption.
QPushButton* MakeGlyphButton(QWidget* parent, const char* name, const QString& glyph,
                             const QString& caption, const QRect& geometry);

}  // namespace picbatch
