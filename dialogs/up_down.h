// UpDown: a pair of arrow buttons bound to an edit field, stepping the number in it.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace picbatch {

class UpDown : public QWidget {
    Q_OBJECT
public:
    // buddy receives the Up and Down keys too.
    UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent = nullptr);

    // Steps from the number in the field (or the last position when the field holds no
    // number), clamps to the range, and writes plain digits without separators.
    void StepBy(int steps);

    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum;
    int m_maximum;
    int m_position;
};

}  // namespace picbatch
