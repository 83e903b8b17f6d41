// OptionsDialog: the modal dialog of the conversion options: whether pictures are turned
// upright by their orientation tag, what a JPEG output keeps of the source's EXIF block, how a
// picture goes into the chosen size, the JPEG quality, and which pictures a run takes and what
// their outputs are called.
#pragma once

#include <QDialog>

#include "batch/conversion_options.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace picbatch {

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // Shows options as they are now.
    explicit OptionsDialog(const ConversionOptions& options, QWidget* parent = nullptr);

    // The options as the controls show them; what the window takes after OK.
    ConversionOptions Result() const;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    // OK: closes the dialog when the output name template is usable, else tells the user and
    // leaves the dialog open at the template.
    void ConfirmOptions();

private:
    void CreateSizeGroup(const ConversionOptions& options);
    void CreateQualityGroup(const ConversionOptions& options);
    void CreateFilesGroup(const ConversionOptions& options);
    // The background button's menu: a colour from the colour dialog, the default, transparent.
    void CreateBackgroundMenu();
    void ChooseBackgroundColour();
    // Shows m_background on the background button.
    void ShowBackground();

    QGroupBox* m_orientationGroup = nullptr;
    QCheckBox* m_uprightBox = nullptr;
    QGroupBox* m_metadataGroup = nullptr;
    QRadioButton* m_dropRadio = nullptr;
    QRadioButton* m_keepRadio = nullptr;
    QRadioButton* m_keepWithoutGpsRadio = nullptr;

    QGroupBox* m_fitGroup = nullptr;
    QRadioButton* m_stretchRadio = nullptr;
    QRadioButton* m_containRadio = nullptr;
    QRadioButton* m_coverRadio = nullptr;
    QRadioButton* m_padRadio = nullptr;
    QPushButton* m_backgroundButton = nullptr;
    Background m_background;
    QCheckBox* m_shrinkOnlyBox = nullptr;
    QCheckBox* m_turnBoxBox = nullptr;

    QGroupBox* m_qualityGroup = nullptr;
    QSpinBox* m_qualityBox = nullptr;
    QCheckBox* m_progressiveBox = nullptr;

    QGroupBox* m_filesGroup = nullptr;
    QCheckBox* m_recursiveBox = nullptr;
    QLineEdit* m_nameTemplateField = nullptr;
    QCheckBox* m_skipUpToDateBox = nullptr;

    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

}  // namespace picbatch
