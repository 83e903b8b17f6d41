// The main window's background artwork and the program icon, drawn with QPainter.
#pragma once

#include <QImage>

namespace picbatch {

// The 674 x 480 background: title, help line, the labels and button faces around the
// controls' rectangles (app/window_layout.h), the output row and the tips panel.
QImage DrawArtwork();

// The program icon, size x size, with a transparent background.
QImage DrawIcon(int size);

}  // namespace picbatch
