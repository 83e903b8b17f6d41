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

// What a field holds: nothing (blanks only), a number (blanks around it dropped), a
// percentage (a number and "%"), or text that is no number.
struct FieldValue {
    enum class Kind { Empty, Number, Percent, NotANumber };
    Kind kind = Kind::Empty;
    int value = 0;
};

FieldValue ReadField(const QString& text)
{
    QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    FieldValue field{FieldValue::Kind::Number, 0};
    if (trimmed.endsWith(u'%')) {
        field.kind = FieldValue::Kind::Percent;
        trimmed.chop(1);
        trimmed = trimmed.trimmed();
    }
    try {
        field.value = ParseInteger(trimmed.toStdString());
    } catch (const Error&) {
        field.kind = FieldValue::Kind::NotANumber;
    }
    return field;
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
    MakeLabel(m_sizeGroup, kSizeHintLabelName, QStringLiteral("只填一边时另一边按比例；也可填百分比，如 50%"),
              {12, 88, 256, 13});

    std::tie(m_widthField, m_widthArrows) =
        MakeSizeField(m_sizeGroup, kWidthFieldName, kWidthArrowsName, 32);
    std::tie(m_heightField, m_heightArrows) =
        MakeSizeField(m_sizeGroup, kHeightFieldName, kHeightArrowsName, 64);
    m_widthField->setToolTip(QStringLiteral("宽度（像素）。高度留空时高度按比例；也可填百分比，如 50%"));
    m_heightField->setToolTip(QStringLiteral("高度（像素）。宽度留空时宽度按比例；也可填百分比，如 50%"));

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
    const FieldValue width = ReadField(m_widthField->text());
    const FieldValue height = ReadField(m_heightField->text());
    using Kind = FieldValue::Kind;

    // A percentage in either field is the size; the other field is not used.
    if (width.kind == Kind::Percent || height.kind == Kind::Percent) {
        const bool inWidth = width.kind == Kind::Percent;
        const FieldValue& percent = inWidth ? width : height;
        if (width.kind == Kind::Percent && height.kind == Kind::Percent && width.value != height.value) {
            Refuse(*m_heightField, QStringLiteral("宽度和高度的百分比不同：请只在一个框中填写百分比"));
            return;
        }
        AcceptSingle(SizeForm::Percent, percent.value, inWidth ? *m_widthField : *m_heightField);
        return;
    }
    if (width.kind == Kind::NotANumber || (width.kind == Kind::Empty && height.kind == Kind::Empty)) {
        Refuse(*m_widthField, kInvalidNumberText);
        return;
    }
    if (height.kind == Kind::NotANumber) {
        Refuse(*m_heightField, kInvalidNumberText);
        return;
    }
    // 0 is a number, but no size; a negative number reads as mistyped, as it always has.
    const auto belowOne = [this](const FieldValue& field, QLineEdit& faulty, const char* message) {
        if (field.kind != Kind::Number || field.value >= 1)
            return false;
        Refuse(faulty, field.value == 0 ? QString::fromUtf8(message) : kInvalidNumberText);
        return true;
    };
    if (belowOne(width, *m_widthField, kWidthBelowOne) || belowOne(height, *m_heightField, kHeightBelowOne))
        return;
    if (height.kind == Kind::Empty) {
        AcceptSingle(SizeForm::Width, width.value, *m_widthField);
        return;
    }
    if (width.kind == Kind::Empty) {
        AcceptSingle(SizeForm::Height, height.value, *m_heightField);
        return;
    }

    // Built from the numbers, not the texts as typed: a run splits the size text at blanks.
    const std::string widthText = std::to_string(width.value);
    const std::string heightText = std::to_string(height.value);
    try {
        // The check a run makes when it starts: what passes here passes there.
        CheckedTargetSize({widthText, heightText});
    } catch (const Error& error) {
        const bool heightAlone = height.value > kMaxPictureSide && width.value <= kMaxPictureSide;
        Refuse(heightAlone ? *m_heightField : *m_widthField, QString::fromStdString(error.what()));
        return;
    }
    m_result = QString::fromStdString(ComposeCustomSizeText(widthText, heightText));
    accept();
}

void CustomSizeDialog::AcceptSingle(SizeForm form, int value, QLineEdit& field)
{
    try {
        // The size list's text of this size, checked as a run checks it when it starts.
        m_result = QString::fromStdString(CheckedSingleSize(form, value).text);
    } catch (const Error& error) {
        Refuse(field, QString::fromUtf8(error.what()));
        return;
    }
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
