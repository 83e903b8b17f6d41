// The options dialog: a box for the orientation, three choices for the metadata, OK and
// Cancel, in the look of the custom size dialog.
#include "dialogs/options_dialog.h"

#include "dialogs/control_names.h"
#include "dialogs/dialog_look.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

namespace picbatch {

namespace {

QRadioButton* MakeRadio(QWidget* parent, const char* name, const QString& text, int top)
{
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(QString::fromLatin1(name));
    radio->setGeometry(16, top, 250, 17);
    return radio;
}

}  // namespace

OptionsDialog::OptionsDialog(const ConversionOptions& options, QWidget* parent)
    : QDialog(parent)
{
    InitDialogResources();
    SetUpDialogWindow(*this, QStringLiteral("选项"), 298, 222, 8);

    m_orientationGroup = new QGroupBox(QStringLiteral("图片方向"), this);
    m_orientationGroup->setObjectName(QString::fromLatin1(kOrientationGroupName));
    m_orientationGroup->setGeometry(11, 10, 277, 52);
    m_uprightBox = new QCheckBox(QStringLiteral("按照片的方向标记自动转正"), m_orientationGroup);
    m_uprightBox->setObjectName(QString::fromLatin1(kUprightBoxName));
    m_uprightBox->setGeometry(16, 22, 250, 17);
    m_uprightBox->setChecked(options.orientation == OrientationChoice::Apply);

    m_metadataGroup = new QGroupBox(QStringLiteral("JPEG 图片的 EXIF 信息"), this);
    m_metadataGroup->setObjectName(QString::fromLatin1(kMetadataGroupName));
    m_metadataGroup->setGeometry(11, 70, 277, 106);
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

    m_okButton = MakeGlyphButton(this, kOkButtonName, QStringLiteral("BBOK"), QStringLiteral("确定"),
                                 {72, 188, 75, 24});
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    m_cancelButton = MakeGlyphButton(this, kCancelButtonName, QStringLiteral("BBCANCEL"), QStringLiteral("取消"),
                                     {152, 188, 75, 24});
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(m_uprightBox, m_dropRadio);
    setTabOrder(m_dropRadio, m_okButton);
    setTabOrder(m_okButton, m_cancelButton);
    m_uprightBox->setFocus();
}

void OptionsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOnScreen(*this);
}

ConversionOptions OptionsDialog::Result() const
{
    ConversionOptions options;
    options.orientation = m_uprightBox->isChecked() ? OrientationChoice::Apply : OrientationChoice::Keep;
    options.metadata = m_keepRadio->isChecked()             ? MetadataChoice::Keep
                       : m_keepWithoutGpsRadio->isChecked() ? MetadataChoice::KeepWithoutGps
                                                            : MetadataChoice::Drop;
    return options;
}

}  // namespace picbatch
