// OptionsDialog: the modal dialog of the conversion options: whether pictures are turned
// upright by their orientation tag, and what a JPEG output keeps of the source's EXIF block.
#pragma once

#include <QDialog>

#include "batch/conversion_options.h"

class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

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

private:
    QGroupBox* m_orientationGroup = nullptr;
    QCheckBox* m_uprightBox = nullptr;
    QGroupBox* m_metadataGroup = nullptr;
    QRadioButton* m_dropRadio = nullptr;
    QRadioButton* m_keepRadio = nullptr;
    QRadioButton* m_keepWithoutGpsRadio = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

}  // namespace picbatch
