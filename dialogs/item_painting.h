// Shared by the owner-drawn lists: the item's background and the pen for its text.
#pragma once

class QPainter;
class QStyleOptionViewItem;

namespace picbatch {

// Fills the item in the highlight colour when selected, else in the base colour, and
// sets the matching text colour as the pen.
void PaintItemBackground(QPainter& painter, const QStyleOptionViewItem& option);

}  // namespace picbatch
