// The options dialog in two columns, in the look of the custom size dialog: left the
// orientation, the EXIF choices and the folders and names; right how a picture goes into the
// size and the JPEG quality; OK and Cancel below.
#include "dialogs/options_dialog.h"

#include "batch/name_template.h"
#include "dialogs/control_names.h"
#include "dialogs/dialog_look.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace picbatch {

namespace {

constexpr int kMinQuality = 1;
constexpr int kMaxQuality = 100;

const QString kNameTemplateTip = QStringLiteral(
    "输出文件的名字（扩展名按输出格式）。可用：\n"
    "{NAME}  原文件名，字母大写（默认）\n"
    "{name}  原文件名，保持原样\n"
    "{w} {h}  输出图片的宽和高\n"
    "{n}  图片的序号，从 1 起\n"
    "{{ 和 }}  花括号本身");

const QString kUnusableNameTemplateText = QStringLiteral(
    "输出文件名不可用：只能使用 {NAME}、{name}、{w}、{h}、{n}，花括号本身写作 {{ 和 }}；"
    "文件名不能为空，不能含“/”，也不能是“.”或“..”。");

template <class Button>
Button* MakeButton(QWidget* parent, const char* name, const QString& text, QRect geometry)
{
    auto* button = new Button(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, const QString& text, int top, int width = 250)
{
    return MakeButton<QRadioButton>(parent, name, text, {16, top, width, 17});
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& text, int top, bool checked)
{
    auto* box = MakeButton<QCheckBox>(parent, name, text, {16, top, 250, 17});
    box->setChecked(checked);
    return box;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& title, QRect geometry)
{
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(geometry);
    return group;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry, QWidget* buddy)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setBuddy(buddy);
    return label;
}

// A swatch of the background's colour; a transparent one as a grey and white chequer.
QPixmap BackgroundSwatch(const Background& background)
{
    QPixmap swatch(14, 10);
    QPainter painter(&swatch);
    if (background.kind == Background::Kind::Transparent) {
        swatch.fill(Qt::white);
        for (int y = 0; y < 10; y += 5)
            for (int x = (y / 5) % 2 * 5; x < 14; x += 10)
                painter.fillRect(x, y, 5, 5, QColor(192, 192, 192));
    } else {
        swatch.fill(QColor(background.red, background.green, background.blue));
    }
    painter.setPen(QColor(96, 96, 96));
    painter.drawRect(0, 0, 13, 9);
    return swatch;
}

QString BackgroundName(const Background& background)
{
    switch (background.kind) {
    case Background::Kind::Automatic:
        return QStringLiteral("白色");
    case Background::Kind::Transparent:
        return QStringLiteral("透明");
    case Background::Kind::Colour:
        break;
    }
    return QColor(background.red, background.green, background.blue).name().toUpper();
}

}  // namespace

OptionsDialog::OptionsDialog(const ConversionOptions& options, QWidget* parent)
    : QDialog(parent)
{
    InitDialogResources();
    SetUpDialogWindow(*this, QStringLiteral("选项"), 610, 338, 8);

    m_orientationGroup = MakeGroup(this, kOrientationGroupName, QStringLiteral("图片方向"), {11, 10, 277, 52});
    m_uprightBox = MakeCheckBox(m_orientationGroup, kUprightBoxName, QStringLiteral("按照片的方向标记自动转正"), 22,
                                options.orientation == OrientationChoice::Apply);

    m_metadataGroup = MakeGroup(this, kMetadataGroupName, QStringLiteral("JPEG 图片的 EXIF 信息"), {11, 70, 277, 106});
    m_dropRadio = MakeRadio(m_metadataGroup, kDropMetadataRadioName, QStringLiteral("不保留"), 24);
    m_keepRadio = MakeRadio(m_metadataGroup, kKeepMetadataRadioName, QStringLiteral("保留"), 50);
    m_keepWithoutGpsRadio = MakeRadio(m_metadataGroup, kKeepMetadataWithoutGpsRadioName,
                                      QStringLiteral("保留，但去掉拍摄位置（GPS）"), 76);
    switch (options.metadata) {
    case MetadataChoice::Drop:
        m_dropRadio->setChecked(true);
        break;
    case MetadataChoice::Keep:
        m_keepRadio->setChecked(true);
        break;
    case MetadataChoice::KeepWithoutGps:
        m_keepWithoutGpsRadio->setChecked(true);
        break;
    }

    CreateFilesGroup(options);
    CreateSizeGroup(options);
    CreateQualityGroup(options);

    m_okButton = MakeGlyphButton(this, kOkButtonName, QStringLiteral("BBOK"), QStringLiteral("确定"),
                                 {228, 302, 75, 24});
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &OptionsDialog::ConfirmOptions);
    m_cancelButton = MakeGlyphButton(this, kCancelButtonName, QStringLiteral("BBCANCEL"), QStringLiteral("取消"),
                                     {308, 302, 75, 24});
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    // Down the left column, then down the right one. Tab enters a group of radio buttons at
    // the checked one; the arrow keys go on to the others.
    QWidget* const order[] = {m_uprightBox,     m_dropRadio,        m_keepRadio,        m_keepWithoutGpsRadio,
                              m_recursiveBox,   m_nameTemplateField, m_skipUpToDateBox, m_stretchRadio,
                              m_containRadio,   m_coverRadio,       m_padRadio,         m_backgroundButton,
                              m_shrinkOnlyBox,  m_turnBoxBox,       m_qualityBox,       m_progressiveBox,
                              m_okButton,       m_cancelButton};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    m_uprightBox->setFocus();
}

void OptionsDialog::CreateFilesGroup(const ConversionOptions& options)
{
    m_filesGroup = MakeGroup(this, kFilesGroupName, QStringLiteral("文件夹与文件名"), {11, 184, 277, 106});
    m_recursiveBox = MakeCheckBox(m_filesGroup, kRecursiveBoxName, QStringLiteral("包含子文件夹"), 24,
                                  options.recursive);
    m_recursiveBox->setToolTip(QStringLiteral("也处理子文件夹中的图片，在保存位置建立同样的子文件夹"));
    m_nameTemplateField = new QLineEdit(QString::fromStdString(options.nameTemplate), m_filesGroup);
    m_nameTemplateField->setObjectName(QString::fromLatin1(kNameTemplateFieldName));
    m_nameTemplateField->setGeometry(94, 49, 168, 21);
    m_nameTemplateField->setToolTip(kNameTemplateTip);
    MakeLabel(m_filesGroup, kNameTemplateLabelName, QStringLiteral("输出文件名："), {16, 53, 76, 13},
              m_nameTemplateField);
    m_skipUpToDateBox = MakeCheckBox(m_filesGroup, kSkipUpToDateBoxName, QStringLiteral("跳过已是最新的图片"), 80,
                                     options.skipUpToDate);
    m_skipUpToDateBox->setToolTip(QStringLiteral("输出文件已存在且比原图新时不再处理"));
}

void OptionsDialog::CreateSizeGroup(const ConversionOptions& options)
{
    m_fitGroup = MakeGroup(this, kFitGroupName, QStringLiteral("图片放入指定尺寸的方式"), {299, 10, 300, 184});
    m_fitGroup->setToolTip(QStringLiteral("用于“宽 * 高”的尺寸；只给一边或百分比时总是保持比例"));
    m_stretchRadio = MakeRadio(m_fitGroup, kStretchRadioName, QStringLiteral("拉伸到指定尺寸"), 24);
    m_containRadio = MakeRadio(m_fitGroup, kContainRadioName, QStringLiteral("保持比例，完整放入"), 50);
    m_coverRadio = MakeRadio(m_fitGroup, kCoverRadioName, QStringLiteral("保持比例，裁去多余部分"), 76);
    m_padRadio = MakeRadio(m_fitGroup, kPadRadioName, QStringLiteral("保持比例，空白处补色"), 102, 166);
    QRadioButton* checked = m_stretchRadio;
    switch (options.fit) {
    case FitMode::Stretch:
        break;
    case FitMode::Contain:
        checked = m_containRadio;
        break;
    case FitMode::Cover:
        checked = m_coverRadio;
        break;
    case FitMode::Pad:
        checked = m_padRadio;
        break;
    }
    checked->setChecked(true);

    m_background = options.background;
    m_backgroundButton = MakeButton<QPushButton>(m_fitGroup, kBackgroundButtonName, QString(), {186, 99, 98, 23});
    m_backgroundButton->setToolTip(
        QStringLiteral("空白处的颜色。默认白色；输出为 PNG、WebP 时，带透明部分的图片补透明"));
    CreateBackgroundMenu();
    ShowBackground();
    // The colour matters only to the last way; the button says so by being usable with it only.
    m_backgroundButton->setEnabled(m_padRadio->isChecked());
    connect(m_padRadio, &QRadioButton::toggled, m_backgroundButton, &QPushButton::setEnabled);

    m_shrinkOnlyBox = MakeCheckBox(m_fitGroup, kShrinkOnlyBoxName, QStringLiteral("只缩小，不放大"), 130,
                                   options.shrinkOnly);
    m_shrinkOnlyBox->setToolTip(QStringLiteral("比指定尺寸小的图片保持原来的尺寸"));
    m_turnBoxBox = MakeCheckBox(m_fitGroup, kTurnBoxBoxName, QStringLiteral("竖图自动交换宽高"), 156,
                                options.boxFollowsOrientation);
    m_turnBoxBox->setToolTip(QStringLiteral("竖图用“高 * 宽”，横图用“宽 * 高”"));
}

void OptionsDialog::CreateBackgroundMenu()
{
    auto* menu = new QMenu(m_backgroundButton);
    const auto addAction = [&](const char* name, const QString& text, auto&& choose) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, choose);
    };
    addAction(kBackgroundColourActionName, QStringLiteral("选择颜色…"), [this] { ChooseBackgroundColour(); });
    addAction(kBackgroundDefaultActionName, QStringLiteral("白色（默认；带透明部分的 PNG、WebP 图片补透明）"), [this] {
        m_background = Background{};
        ShowBackground();
    });
    addAction(kBackgroundTransparentActionName, QStringLiteral("透明（PNG、WebP 输出；其他格式为白色）"), [this] {
        m_background = Background{};
        m_background.kind = Background::Kind::Transparent;
        ShowBackground();
    });
    m_backgroundButton->setMenu(menu);
}

void OptionsDialog::ChooseBackgroundColour()
{
    const QColor now = m_background.kind == Background::Kind::Colour
                           ? QColor(m_background.red, m_background.green, m_background.blue)
                           : QColor(Qt::white);
    const QColor chosen = QColorDialog::getColor(now, this, QStringLiteral("空白处的颜色"));
    if (!chosen.isValid())
        return;  // cancelled: the colour stays
    m_background.kind = Background::Kind::Colour;
    m_background.red = static_cast<std::uint8_t>(chosen.red());
    m_background.green = static_cast<std::uint8_t>(chosen.green());
    m_background.blue = static_cast<std::uint8_t>(chosen.blue());
    ShowBackground();
}

void OptionsDialog::ShowBackground()
{
    m_backgroundButton->setIcon(BackgroundSwatch(m_background));
    m_backgroundButton->setIconSize(QSize(14, 10));
    m_backgroundButton->setText(BackgroundName(m_background));
}

void OptionsDialog::CreateQualityGroup(const ConversionOptions& options)
{
    m_qualityGroup = MakeGroup(this, kQualityGroupName, QStringLiteral("压缩"), {299, 202, 300, 80});
    m_qualityBox = new QSpinBox(m_qualityGroup);
    m_qualityBox->setObjectName(QString::fromLatin1(kQualityBoxName));
    m_qualityBox->setGeometry(94, 23, 60, 22);
    m_qualityBox->setRange(kMinQuality, kMaxQuality);
    m_qualityBox->setValue(std::clamp(options.quality, kMinQuality, kMaxQuality));
    m_qualityBox->setToolTip(QStringLiteral("JPEG 和有损 WebP 输出的质量，1–100，默认 90；越高越清晰，文件越大"));
    MakeLabel(m_qualityGroup, kQualityLabelName, QStringLiteral("JPEG 质量："), {16, 27, 76, 13}, m_qualityBox);
    m_progressiveBox = MakeCheckBox(m_qualityGroup, kProgressiveBoxName, QStringLiteral("渐进式 JPEG"), 54,
                                    options.progressive);
    m_progressiveBox->setToolTip(QStringLiteral("网页上先显示模糊的全图，再逐渐清晰；文件通常更小"));
}

void OptionsDialog::showEvent(QShowEvent* event)
{
    // The style draws a check box's focus cue only once the keyboard moved the focus; the
    // first box has it from the start, and must show it.
    setAttribute(Qt::WA_KeyboardFocusChange);
    QDialog::showEvent(event);
    CentreOnScreen(*this);
}

void OptionsDialog::ConfirmOptions()
{
    if (!IsUsableNameTemplate(m_nameTemplateField->text().toStdString())) {
        // The dialog stays open with every choice as made, so the user can mend the name.
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("提示"), kUnusableNameTemplateText, QMessageBox::Ok,
                        this);
        box.exec();
        m_nameTemplateField->setFocus();
        m_nameTemplateField->selectAll();
        return;
    }
    accept();
}

ConversionOptions OptionsDialog::Result() const
{
    ConversionOptions options;
    options.orientation = m_uprightBox->isChecked() ? OrientationChoice::Apply : OrientationChoice::Keep;
    options.metadata = m_keepRadio->isChecked()             ? MetadataChoice::Keep
                       : m_keepWithoutGpsRadio->isChecked() ? MetadataChoice::KeepWithoutGps
                                                            : MetadataChoice::Drop;
    options.fit = m_containRadio->isChecked() ? FitMode::Contain
                  : m_coverRadio->isChecked() ? FitMode::Cover
                  : m_padRadio->isChecked()   ? FitMode::Pad
                                              : FitMode::Stretch;
    options.background = m_background;
    options.shrinkOnly = m_shrinkOnlyBox->isChecked();
    options.boxFollowsOrientation = m_turnBoxBox->isChecked();
    options.quality = m_qualityBox->value();
    options.progressive = m_progressiveBox->isChecked();
    options.recursive = m_recursiveBox->isChecked();
    options.nameTemplate = m_nameTemplateField->text().toStdString();
    options.skipUpToDate = m_skipUpToDateBox->isChecked();
    return options;
}

}  // namespace picbatch
