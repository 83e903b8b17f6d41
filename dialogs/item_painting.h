// Shared by the owner-drawn lists: the item's background, the pen for its text, and the
// focus frames.
#pragma once

class QPainter;
class QRect;
class QStyleOptionViewItem;

namespace picbatch {

// Fills the item in the highlight colour when selected, else in the base colour, and
// sets the matching text colour as the pen.
void PaintItemBackground(QPainter& painter, const QStyleOptionViewItem& option);

// The list's current item while the list has the focus: a dotted frame round the item in the
// pen PaintItemBackground set. Nothing for other items.
void PaintItemFocus(QPainter& painter, const QStyleOptionViewItem& option);

// A dotted frame along the inside of area in the pen's colour: the focus of a list that has
// no current item to frame.
void PaintFocusFrame(QPainter& painter, const QRect& area);

}  // namespace picbatch
