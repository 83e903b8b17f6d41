// Painting a veil over the artwork's face instead of a face keeps the artwork visible in
// every state while still telling the user that the button reacts.
#include "app/face_button.h"

#include <QPainter>

#include "app/focus_frame.h"
#include "app/window_layout.h"

namespace picbatch {

FaceButton::FaceButton(QWidget* parent) : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

void FaceButton::SetCaption(const QString& caption)
{
    m_caption = caption;
    update();
}

void FaceButton::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void FaceButton::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void FaceButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    // Alphas out of 255: a veil of about 16 % lightens, one of about 18 % darkens; both
    // leave the face's caption readable.
    painter.setPen(Qt::NoPen);
    if (!m_caption.isEmpty()) {
        // A face of the button's own, in the red of the run's percentage, hides the
        // artwork's while it reads something else.
        painter.setBrush(QColor(200, 40, 40));
        painter.drawRoundedRect(face, layout::kFaceRadius, layout::kFaceRadius);
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, m_caption);
        painter.setPen(Qt::NoPen);
    }
    if (isDown())
        painter.setBrush(QColor(0, 0, 0, 46));
    else if (m_hovered)
        painter.setBrush(QColor(255, 255, 255, 40));
    else
        painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(face, layout::kFaceRadius, layout::kFaceRadius);
    if (hasFocus())
        DrawFocusFrame(painter, QRectF(rect()).adjusted(1, 1, -1, -1), layout::kFaceRadius - 1);
}

}  // namespace picbatch
