// Styles draw a non-editable combo box as a raised button; over the artwork's own box that
// gave a second frame. This one fills its rectangle, draws the text and the arrow, and marks
// the keyboard focus with the dotted frame of the window's other controls.
#include "app/flat_combo_box.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

#include "app/focus_frame.h"

namespace picbatch {

namespace {

constexpr int kArrowWidth = 14;  // room for the style's arrow at the right edge

}  // namespace

FlatComboBox::FlatComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setFrame(false);
}

void FlatComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));

    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.frame = false;
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);

    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = QRect(width() - kArrowWidth - 2, 0, kArrowWidth, height());
    painter.drawPrimitive(QStyle::PE_IndicatorArrowDown, arrow);

    if (hasFocus())
        DrawFocusFrame(painter, rect());
}

}  // namespace picbatch
