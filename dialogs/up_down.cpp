// Up-down arrows for the custom size fields.
#include "dialogs/up_down.h"

#include "batch/target_size.h"
#include "imaging/error.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace picbatch {

UpDown::UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent),
      m_buddy(buddy),
      m_up(new QToolButton(this)),
      m_down(new QToolButton(this)),
      m_minimum(minimum),
      m_maximum(maximum),
      m_position(minimum)
{
    for (QToolButton* button : {m_up, m_down}) {
        button->setArrowType(button == m_up ? Qt::UpArrow : Qt::DownArrow);
        button->setAutoRepeat(true);  // holding the mouse button keeps stepping
        button->setFocusPolicy(Qt::NoFocus);
        button->setIconSize(QSize(5, 5));
    }
    connect(m_up, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { StepBy(-1); });
    m_buddy->installEventFilter(this);
    setFocusPolicy(Qt::NoFocus);
}

void UpDown::StepBy(int steps)
{
    int value;
    try {
        value = ParseInteger(m_buddy->text().toStdString());
    } catch (const Error&) {
        // Not a number: step from the last position, as the arrows showed it.
        value = m_position;
    }
    const long long stepped = static_cast<long long>(value) + steps;
    m_position = static_cast<int>(std::clamp<long long>(stepped, m_minimum, m_maximum));
    // Plain digits: a thousands separator would make the text fail the size conversion.
    m_buddy->setText(QString::number(m_position));
}

bool UpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            StepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int upHeight = height() / 2;
    m_up->setGeometry(0, 0, width(), upHeight);
    m_down->setGeometry(0, upHeight, width(), height() - upHeight);
}

}  // namespace picbatch
