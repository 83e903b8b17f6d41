// FaceButton: a flat button without a face of its own. The artwork under it draws the
// face; the button only adds a light veil while hovered, a darker one while pressed, and an
// outline when it has the keyboard focus.
#pragma once

#include <QAbstractButton>

namespace picbatch {

class FaceButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit FaceButton(QWidget* parent = nullptr);

    // A caption on a face of the button's own, over the artwork's (empty: the artwork's face
    // shows): the start button reads 停止 while a run goes on.
    void SetCaption(const QString& caption);
    const QString& Caption() const { return m_caption; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool m_hovered = false;
    QString m_caption;
};

}  // namespace picbatch
