// Background and text colour of an owner-drawn list item.
#include "dialogs/item_painting.h"

#include <QPainter>
#include <QStyleOptionViewItem>

namespace picbatch {

void PaintItemBackground(QPainter& painter, const QStyleOptionViewItem& option)
{
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    painter.fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
    painter.setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
}

}  // namespace picbatch
