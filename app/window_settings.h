// WindowSettings: what the main window remembers between sessions, in the user's settings
// file (organisation and application "picbatch": ~/.config/picbatch/picbatch.conf on Linux).
// Qt Core only.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>

#include "batch/conversion_options.h"
#include "pictures/save_picture.h"

namespace picbatch {

class WindowSettings {
public:
    WindowSettings();

    // The remembered source and destination folders while they still are folders; empty
    // when none is remembered or the folder is gone.
    QString SourceFolder() const;
    QString DestinationFolder() const;
    // The folder last chosen with OK in a folder chooser, as remembered: it may be gone.
    QString ChooserFolder() const;
    // The custom sizes added, in the order they were added.
    QStringList CustomSizes() const;
    // The size text last chosen; empty when none.
    QString ChosenSize() const;
    // The output mode last chosen; nothing when none (or an unknown one) is remembered.
    std::optional<OutputMode> Mode() const;
    // The conversion options last chosen; the default for each one not remembered, or
    // remembered as an unknown word, a number out of range or an unusable name template.
    ConversionOptions Options() const;

    // Each change is written to the file at once, so that a crash loses none.
    void SetSourceFolder(const QString& folder);
    void SetDestinationFolder(const QString& folder);
    void SetChooserFolder(const QString& folder);
    void SetCustomSizes(const QStringList& sizes);
    void SetChosenSize(const QString& size);
    void SetMode(OutputMode mode);
    void SetOptions(const ConversionOptions& options);

private:
    void Write(const QString& key, const QVariant& value);
    QString ExistingFolder(const QString& key) const;

    QSettings m_settings;
};

}  // namespace picbatch
