// The custom size dialog: a width and a height field with arrows, OK and Cancel.
#include "dialogs/custom_size_dialog.h"

#include "batch/size_check.h"
#include "batch/target_size.h"
#include "dialogs/control_names.h"
#include "dialogs/dialog_look.h"
#include "dialogs/up_down.h"
#include "imaging/error.h"
#include "imaging/limits.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <optional>
#include <string>
#include <tuple>
#include <utility>

namespace picbatch {

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

// A number the run can use as a side: the text converts, blanks around it dropped, and is at
// least 1.
std::optional<int> UsableSize(const QString& text)
{
    try {
        const int value = ParseInteger(text.trimmed().toStdString());
        if (value >= 1)
            return value;
    } catch (const Error&) {
    }
    return std::nullopt;
}

}  // namespace

CustomSizeDialog::CustomSizeDialog(QWidget* parent)
    : QDialog(parent)
{
    InitDialogResources();
    SetUpDialogWindow(*this, QStringLiteral("自定义尺寸"), 298, 156, 8);

    m_sizeGroup = new QGroupBox(QStringLiteral("请输入图片的长和宽"), this);
    m_sizeGroup->setObjectName(QString::fromLatin1(kSizeGroupName));
    m_sizeGroup->setGeometry(11, 10, 277, 106);

    MakeLabel(m_sizeGroup, kWidthLabelName, QStringLiteral("宽度：\u3000\u3000"), {48, 36, 60, 13});
    MakeLabel(m_sizeGroup, kHeightLabelName, QStringLiteral("高度：  "), {48, 68, 42, 13});
    MakeLabel(m_sizeGroup, kWidthUnitLabelName, QStringLiteral("像素  "), {173, 36, 30, 13});
    MakeLabel(m_sizeGroup, kHeightUnitLabelName, QStringLiteral("像素  "), {174, 70, 30, 13});

    std::tie(m_widthField, m_widthArrows) =
        MakeSizeField(m_sizeGroup, kWidthFieldName, kWidthArrowsName, 32);
    std::tie(m_heightField, m_heightArrows) =
        MakeSizeField(m_sizeGroup, kHeightFieldName, kHeightArrowsName, 64);

    m_okButton = MakeGlyphButton(this, kOkButtonName, QStringLiteral("BBOK"), QStringLiteral("确定"),
                                 {72, 124, 75, 24});
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &CustomSizeDialog::ConfirmSize);

    m_cancelButton = MakeGlyphButton(this, kCancelButtonName, QStringLiteral("BBCANCEL"),
                                     QStringLiteral("取消"), {152, 124, 75, 24});
    connect(m_cancelButton, &QPushButton::clicked, this, &CustomSizeDialog::Cancel);

    setTabOrder(m_widthField, m_heightField);
    setTabOrder(m_heightField, m_okButton);
    setTabOrder(m_okButton, m_cancelButton);
    m_widthField->setFocus();
}

void CustomSizeDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOnScreen(*this);
}

void CustomSizeDialog::ConfirmSize()
{
    m_result.clear();
    const std::optional<int> width = UsableSize(m_widthField->text());
    if (!width) {
        Refuse(*m_widthField, kInvalidNumberText);
        return;
    }
    const std::optional<int> height = UsableSize(m_heightField->text());
    if (!height) {
        Refuse(*m_heightField, kInvalidNumberText);
        return;
    }

    // Built from the numbers, not the texts as typed: a run splits the size text at blanks.
    const std::string widthText = std::to_string(*width);
    const std::string heightText = std::to_string(*height);
    try {
        // The check a run makes when it starts: what passes here passes there.
        CheckedTargetSize({widthText, heightText});
    } catch (const Error& error) {
        const bool heightAlone = *height > kMaxPictureSide && *width <= kMaxPictureSide;
        Refuse(heightAlone ? *m_heightField : *m_widthField, QString::fromStdString(error.what()));
        return;
    }
    m_result = QString::fromStdString(ComposeCustomSizeText(widthText, heightText));
    accept();
}

void CustomSizeDialog::Refuse(QLineEdit& faulty, const QString& message)
{
    // The dialog stays open with the fields as typed, so the user can mend the value.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("提示"), message, QMessageBox::Ok, this);
    box.exec();
    faulty.setFocus();
    faulty.selectAll();
}

void CustomSizeDialog::Cancel()
{
    m_result.clear();
    reject();
}

}  // namespace picbatch
