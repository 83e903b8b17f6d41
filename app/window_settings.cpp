// The main window's settings as keys of a QSettings file.
#include "app/window_settings.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <array>
#include <cstdint>
#include <utility>

#include "batch/name_template.h"

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
const QString kFitKey = QStringLiteral("options/fit");
const QString kBackgroundKey = QStringLiteral("options/background");
const QString kShrinkOnlyKey = QStringLiteral("options/shrink-only");
const QString kBoxFollowsOrientationKey = QStringLiteral("options/box-follows-orientation");
const QString kQualityKey = QStringLiteral("options/quality");
const QString kProgressiveKey = QStringLiteral("options/progressive");
const QString kRecursiveKey = QStringLiteral("options/recursive");
const QString kNameTemplateKey = QStringLiteral("options/name");
const QString kSkipUpToDateKey = QStringLiteral("options/skip-up-to-date");

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
constexpr std::array<std::pair<FitMode, const char*>, 4> kFitNames{{
    {FitMode::Stretch, "stretch"},
    {FitMode::Contain, "contain"},
    {FitMode::Cover, "cover"},
    {FitMode::Pad, "pad"},
}};
constexpr std::array<std::pair<bool, const char*>, 2> kSwitchNames{{
    {false, "false"},
    {true, "true"},
}};

// "auto" for the default, "transparent", or the colour as #rrggbb (picbatch-cli's words).
QString BackgroundName(const Background& background)
{
    switch (background.kind) {
    case Background::Kind::Automatic:
        return QStringLiteral("auto");
    case Background::Kind::Transparent:
        return QStringLiteral("transparent");
    case Background::Kind::Colour:
        break;
    }
    return QColor(background.red, background.green, background.blue).name();
}

Background BackgroundNamed(const QString& name)
{
    Background background;
    if (name == QLatin1String("transparent")) {
        background.kind = Background::Kind::Transparent;
    } else if (static const QRegularExpression colour(QStringLiteral("^#[0-9a-fA-F]{6}$")); colour.match(name).hasMatch()) {
        const QColor rgb(name);
        background.kind = Background::Kind::Colour;
        background.red = static_cast<std::uint8_t>(rgb.red());
        background.green = static_cast<std::uint8_t>(rgb.green());
        background.blue = static_cast<std::uint8_t>(rgb.blue());
    }
    return background;
}

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
    ConversionOptions options;
    options.orientation = ChoiceNamed(m_settings, kOrientationKey, kOrientationNames, options.orientation);
    options.metadata = ChoiceNamed(m_settings, kMetadataKey, kMetadataNames, options.metadata);
    options.fit = ChoiceNamed(m_settings, kFitKey, kFitNames, options.fit);
    options.background = BackgroundNamed(m_settings.value(kBackgroundKey).toString());
    options.shrinkOnly = ChoiceNamed(m_settings, kShrinkOnlyKey, kSwitchNames, options.shrinkOnly);
    options.boxFollowsOrientation =
        ChoiceNamed(m_settings, kBoxFollowsOrientationKey, kSwitchNames, options.boxFollowsOrientation);
    // Plain decimal digits within 1..100; anything else leaves the default.
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (const QString quality = m_settings.value(kQualityKey).toString(); digits.match(quality).hasMatch()
        && quality.toInt() >= 1 && quality.toInt() <= 100)
        options.quality = quality.toInt();
    options.progressive = ChoiceNamed(m_settings, kProgressiveKey, kSwitchNames, options.progressive);
    options.recursive = ChoiceNamed(m_settings, kRecursiveKey, kSwitchNames, options.recursive);
    if (const QVariant name = m_settings.value(kNameTemplateKey); name.isValid()) {
        const std::string nameTemplate = name.toString().toStdString();
        if (IsUsableNameTemplate(nameTemplate))
            options.nameTemplate = nameTemplate;
    }
    options.skipUpToDate = ChoiceNamed(m_settings, kSkipUpToDateKey, kSwitchNames, options.skipUpToDate);
    return options;
}

void WindowSettings::SetOptions(const ConversionOptions& options)
{
    m_settings.setValue(kOrientationKey, NameOf(options.orientation, kOrientationNames));
    m_settings.setValue(kMetadataKey, NameOf(options.metadata, kMetadataNames));
    m_settings.setValue(kFitKey, NameOf(options.fit, kFitNames));
    m_settings.setValue(kBackgroundKey, BackgroundName(options.background));
    m_settings.setValue(kShrinkOnlyKey, NameOf(options.shrinkOnly, kSwitchNames));
    m_settings.setValue(kBoxFollowsOrientationKey, NameOf(options.boxFollowsOrientation, kSwitchNames));
    m_settings.setValue(kQualityKey, QString::number(options.quality));
    m_settings.setValue(kProgressiveKey, NameOf(options.progressive, kSwitchNames));
    m_settings.setValue(kRecursiveKey, NameOf(options.recursive, kSwitchNames));
    m_settings.setValue(kNameTemplateKey, QString::fromStdString(options.nameTemplate));
    Write(kSkipUpToDateKey, NameOf(options.skipUpToDate, kSwitchNames));
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
