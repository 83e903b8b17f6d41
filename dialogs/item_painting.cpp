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

void PaintItemFocus(QPainter& painter, const QStyleOptionViewItem& option)
{
    if (option.state.testFlag(QStyle::State_HasFocus))
        PaintFocusFrame(painter, option.rect);
}

void PaintFocusFrame(QPainter& painter, const QRect& area)
{
    painter.save();
    painter.setPen(QPen(painter.pen().color(), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.restore();
}

}  // namespace picbatch
