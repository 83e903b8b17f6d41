// The custom size dialog: a width and a height field with arrows, OK and Cancel.
#include "dialogs/custom_size_dialog.h"

#include "batch/target_size.h"
#include "dialogs/dialog_look.h"
#include "dialogs/up_down.h"
#include "imaging/error.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <optional>
#include <tuple>
#include <utility>

namespace {

// The arrows cover the sizes a run is normally asked for; typed values may go beyond.
constexpr int kArrowMinimum = 16;
constexpr int kArrowMaximum = 9999;

const QString kInvalidNumberText = QStringLiteral(" 格式不正确，请输入数字！ ");

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

// An edit field at top with its arrows at its right edge.
std::pair<QLineEdit*, UpDown*> MakeSizeField(QWidget* parent, const char* fieldName, const char* arrowsName,
                                             int top)
{
    auto* field = new QLineEdit(QString::number(kArrowMinimum), parent);
    field->setObjectName(QString::fromLatin1(fieldName));
    field->setGeometry(97, top, 49, 21);
    auto* arrows = new UpDown(field, kArrowMinimum, kArrowMaximum, parent);
    arrows->setObjectName(QString::fromLatin1(arrowsName));
    arrows->setGeometry(146, top, 15, 21);
    return {field, arrows};
}

// A size the run can use: the text converts and is at least 1.
std::optional<int> UsableSize(const QString& text)
{
    try {
        const int value = StrToInt(text.toStdString());
        if (value >= 1)
            return value;
    } catch (const Error&) {
    }
    return std::nullopt;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent)
{
    InitDialogResources();
    SetUpDialogWindow(*this, QStringLiteral("自定义尺寸"), 298, 156, 8);

    m_groupBox1 = new QGroupBox(QStringLiteral("请输入图片的长和宽"), this);
    m_groupBox1->setObjectName(QStringLiteral("GroupBox1"));
    m_groupBox1->setGeometry(11, 10, 277, 106);

    MakeLabel(m_groupBox1, "Label1", QStringLiteral("宽度：\u3000\u3000"), {48, 36, 60, 13});
    MakeLabel(m_groupBox1, "Label2", QStringLiteral("高度：  "), {48, 68, 42, 13});
    MakeLabel(m_groupBox1, "Label3", QStringLiteral("像素  "), {173, 36, 30, 13});
    MakeLabel(m_groupBox1, "Label4", QStringLiteral("像素  "), {174, 70, 30, 13});

    std::tie(m_edtW, m_udW) = MakeSizeField(m_groupBox1, "edtW", "udW", 32);
    std::tie(m_edtH, m_udH) = MakeSizeField(m_groupBox1, "edtH", "udH", 64);

    m_bitBtn1 = MakeGlyphButton(this, "BitBtn1", QStringLiteral("BBOK"), QStringLiteral("确定"), {72, 124, 75, 24});
    m_bitBtn1->setDefault(true);
    connect(m_bitBtn1, &QPushButton::clicked, this, &TAboutBox::BitBtn1Click);

    m_bitBtn2 = MakeGlyphButton(this, "BitBtn2", QStringLiteral("BBCANCEL"), QStringLiteral("取消"),
                                {152, 124, 75, 24});
    connect(m_bitBtn2, &QPushButton::clicked, this, &TAboutBox::BitBtn2Click);

    setTabOrder(m_edtW, m_edtH);
    setTabOrder(m_edtH, m_bitBtn1);
    setTabOrder(m_bitBtn1, m_bitBtn2);
    m_edtW->setFocus();
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOnScreen(*this);
}

void TAboutBox::BitBtn1Click()
{
    m_result.clear();
    QLineEdit* faulty = nullptr;
    if (!UsableSize(m_edtW->text()))
        faulty = m_edtW;
    else if (!UsableSize(m_edtH->text()))
        faulty = m_edtH;
    if (faulty) {
        // The dialog stays open with the fields as typed, so the user can mend the value.
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("提示"), kInvalidNumberText, QMessageBox::Ok,
                        this);
        box.exec();
        faulty->setFocus();
        faulty->selectAll();
        return;
    }
    m_result = QString::fromStdString(
        ComposeCustomSizeText(m_edtW->text().toStdString(), m_edtH->text().toStdString()));
    accept();
}

void TAboutBox::BitBtn2Click()
{
    m_result.clear();
    reject();
}
