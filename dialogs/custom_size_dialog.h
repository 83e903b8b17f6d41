// TAboutBox: the modal dialog in which the user types a custom width and height.
#pragma once

#include <QDialog>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class UpDown;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // The size text ("<w> * <h>  （自定义尺寸）") after a successful OK, else empty.
    QString Result() const { return m_result; }

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void BitBtn1Click();
    void BitBtn2Click();

private:
    QGroupBox* m_groupBox1 = nullptr;
    QLineEdit* m_edtW = nullptr;
    QLineEdit* m_edtH = nullptr;
    UpDown* m_udW = nullptr;
    UpDown* m_udH = nullptr;
    QPushButton* m_bitBtn1 = nullptr;
    QPushButton* m_bitBtn2 = nullptr;
    QString m_result;
};
