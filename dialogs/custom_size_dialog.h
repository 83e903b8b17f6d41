// CustomSizeDialog: the modal dialog in which the user types a custom width and height.
#pragma once

#include <QDialog>
#include <QString>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace picbatch {

class UpDown;

class CustomSizeDialog : public QDialog {
    Q_OBJECT
public:
    explicit CustomSizeDialog(QWidget* parent = nullptr);

    // The size text ("<w> * <h>  （自定义尺寸）") after a successful OK, else empty.
    QString Result() const { return m_result; }

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    // OK: closes with the size text when both fields hold a usable size, else tells the
    // user and leaves the dialog open at the faulty field.
    void ConfirmSize();
    void Cancel();

private:
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
