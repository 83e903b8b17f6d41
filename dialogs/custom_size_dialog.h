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

    // The size text ("<w> * <h>  （自定义尺寸）", the numbers in plain decimal digits) after a
    // successful OK, else empty. A run accepts every such size when it starts.
    QString Result() const { return m_result; }

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    // OK: closes with the size text when both fields hold a number of at least 1 (blanks
    // around it allowed) and the size is within the picture limits, else tells the user and
    // leaves the dialog open at the faulty field.
    void ConfirmSize();
    void Cancel();

private:
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
