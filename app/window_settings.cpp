// The main window's settings as keys of a QSettings file.
#include "app/window_settings.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <utility>

namespace picbatch {

namespace {

const QString kSourceKey = QStringLiteral("folders/source");
const QString kDestinationKey = QStringLiteral("folders/destination");
const QString kChooserKey = QStringLiteral("folders/chooser");
const QString kCustomSizesKey = QStringLiteral("sizes/custom");
const QString kChosenSizeKey = QStringLiteral("sizes/chosen");
const QString kModeKey = QStringLiteral("output/mode");
const QString kOrientationKey = QStringLiteral("options/orientation");
const QString kMetadataKey = QStringLiteral("options/metadata");

// The options by the words picbatch-cli takes for them.
constexpr std::array<std::pair<OrientationChoice, const char*>, 2> kOrientationNames{{
    {OrientationChoice::Apply, "apply"},
    {OrientationChoice::Keep, "keep"},
}};
constexpr std::array<std::pair<MetadataChoice, const char*>, 3> kMetadataNames{{
    {MetadataChoice::Drop, "drop"},
    {MetadataChoice::Keep, "keep"},
    {MetadataChoice::KeepWithoutGps, "keep-no-gps"},
}};

// The choice named by the setting at key; fallback for none or an unknown name.
template <class Choice, std::size_t N>
Choice ChoiceNamed(const QSettings& settings, const QString& key,
                   const std::array<std::pair<Choice, const char*>, N>& names, Choice fallback)
{
    const QString name = settings.value(key).toString();
    for (const auto& [choice, choiceName] : names)
        if (name == QLatin1String(choiceName))
            return choice;
    return fallback;
}

template <class Choice, std::size_t N>
QString NameOf(Choice choice, const std::array<std::pair<Choice, const char*>, N>& names)
{
    for (const auto& [known, name] : names)
        if (known == choice)
            return QString::fromLatin1(name);
    return {};
}

// Modes by name, so that the file reads as the window's captions do.
constexpr std::array<std::pair<OutputMode, const char*>, 3> kModeNames{{
    {OutputMode::KeepFormat, "auto"},
    {OutputMode::Jpeg, "jpeg"},
    {OutputMode::Bmp, "bmp"},
}};

}  // namespace

WindowSettings::WindowSettings()
    : m_settings(QStringLiteral("picbatch"), QStringLiteral("picbatch"))
{
}

QString WindowSettings::ExistingFolder(const QString& key) const
{
    QString folder = m_settings.value(key).toString();
    if (!QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir())
        return {};
    return folder;
}

QString WindowSettings::SourceFolder() const
{
    return ExistingFolder(kSourceKey);
}

QString WindowSettings::DestinationFolder() const
{
    return ExistingFolder(kDestinationKey);
}

QString WindowSettings::ChooserFolder() const
{
    return m_settings.value(kChooserKey).toString();
}

QStringList WindowSettings::CustomSizes() const
{
    return m_settings.value(kCustomSizesKey).toStringList();
}

QString WindowSettings::ChosenSize() const
{
    return m_settings.value(kChosenSizeKey).toString();
}

std::optional<OutputMode> WindowSettings::Mode() const
{
    const QString name = m_settings.value(kModeKey).toString();
    for (const auto& [mode, modeName] : kModeNames)
        if (name == QLatin1String(modeName))
            return mode;
    return std::nullopt;
}

ConversionOptions WindowSettings::Options() const
{
    const ConversionOptions defaults;
    return {ChoiceNamed(m_settings, kOrientationKey, kOrientationNames, defaults.orientation),
            ChoiceNamed(m_settings, kMetadataKey, kMetadataNames, defaults.metadata)};
}

void WindowSettings::SetOptions(const ConversionOptions& options)
{
    m_settings.setValue(kOrientationKey, NameOf(options.orientation, kOrientationNames));
    Write(kMetadataKey, NameOf(options.metadata, kMetadataNames));
}

void WindowSettings::SetSourceFolder(const QString& folder)
{
    Write(kSourceKey, folder);
}

void WindowSettings::SetDestinationFolder(const QString& folder)
{
    Write(kDestinationKey, folder);
}

void WindowSettings::SetChooserFolder(const QString& folder)
{
    Write(kChooserKey, folder);
}

void WindowSettings::SetCustomSizes(const QStringList& sizes)
{
    Write(kCustomSizesKey, sizes);
}

void WindowSettings::SetChosenSize(const QString& size)
{
    Write(kChosenSizeKey, size);
}

void WindowSettings::SetMode(OutputMode mode)
{
    for (const auto& [known, name] : kModeNames)
        if (known == mode)
            Write(kModeKey, QString::fromLatin1(name));
}

void WindowSettings::Write(const QString& key, const QVariant& value)
{
    m_settings.setValue(key, value);
    m_settings.sync();
}

}  // namespace picbatch
