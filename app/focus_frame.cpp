// A dotted line in the blue of the artwork's buttons stands out on its light boxes and on
// the button faces alike.
#include "app/focus_frame.h"

#include <QPainter>

namespace picbatch {

void DrawFocusFrame(QPainter& painter, const QRectF& area, qreal radius)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, radius > 0);
    painter.setPen(QPen(QColor(32, 96, 200), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    // Half a pixel in: the 1-pixel line then covers whole pixels inside the area.
    const QRectF line = area.adjusted(0.5, 0.5, -0.5, -0.5);
    if (radius > 0)
        painter.drawRoundedRect(line, radius, radius);
    else
        painter.drawRect(line);
    painter.restore();
}

}  // namespace picbatch
