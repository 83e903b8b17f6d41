// CustomSizeDialog: the modal dialog in which the user types a custom width and height, one
// of them (the other by the picture's proportions) or a percentage.
#pragma once

#include <QDialog>
#include <QString>

#include "batch/conversion_request.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace picbatch {

class UpDown;

class CustomSizeDialog : public QDialog {
    Q_OBJECT
public:
    explicit CustomSizeDialog(QWidget* parent = nullptr);

    // The size text after a successful OK, else empty: "<w> * <h>  （自定义尺寸）",
    // "宽 <w>，高按比例" (the height field left empty), "高 <h>，宽按比例" (the width field left
    // empty) or "<p>%" (a percentage in either field), the numbers in plain decimal digits. A
    // run accepts every such size when it starts.
    QString Result() const { return m_result; }

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    // OK: closes with the size text when the fields hold a size (numbers of at least 1, blanks
    // around them allowed, within the picture limits; a percentage 1..1000) else tells the
    // user why and leaves the dialog open at the faulty field.
    void ConfirmSize();
    void Cancel();

private:
    // Closes with the text of the single-side or percentage size value, or refuses it at field.
    void AcceptSingle(SizeForm form, int value, QLineEdit& field);
    // Shows message and puts the focus on faulty, its text selected.
    void Refuse(QLineEdit& faulty, const QString& message);

    QGroupBox* m_sizeGroup = nullptr;
    QLineEdit* m_widthField = nullptr;
    QLineEdit* m_heightField = nullptr;
    UpDown* m_widthArrows = nullptr;
    UpDown* m_heightArrows = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QString m_result;
};

}  // namespace picbatch
