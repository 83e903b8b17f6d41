// FlatComboBox: a drop-down list drawn flat, without a frame or bevel of its own, over a box
// that the artwork draws around it.
#pragma once

#include <QComboBox>

namespace picbatch {

class FlatComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit FlatComboBox(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace picbatch
