// The main window: fixed geometry over the artwork, the handlers, and the run's window.
#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QKeySequence>
#include <QLineEdit>
#include <QMimeData>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/click_label.h"
#include "app/control_names.h"
#include "app/face_button.h"
#include "app/flat_combo_box.h"
#include "app/focus_frame.h"
#include "app/raster_image.h"
#include "app/window_layout.h"
#include "batch/entry_paths.h"
#include "batch/failure_text.h"
#include "batch/size_check.h"
#include "batch/source_listing.h"
#include "batch/target_size.h"
#include "dialogs/active_options.h"
#include "dialogs/custom_size_dialog.h"
#include "dialogs/dialog_look.h"
#include "dialogs/error_box.h"
#include "dialogs/folder_chooser_dialog.h"
#include "dialogs/options_dialog.h"
#include "pictures/jpeg/jpeg_image.h"

// Q_INIT_RESOURCE must be used outside any namespace; the resources live in a static
// library, whose registration code the linker would otherwise drop.
static void InitAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace picbatch {

namespace {

constexpr const char* kCaption = "Kavrel图片批处理工具";
constexpr const char* kArtworkResource = ":/app/artwork.jpg";

// The artwork, decoded through the project's own JPEG binding like every other picture.
QPixmap LoadArtwork()
{
    QFile file(kArtworkResource);
    if (!file.open(QIODevice::ReadOnly))
        throw Error("Cannot open the window artwork");
    const QByteArray bytes = file.readAll();
    JpegImage jpeg;
    jpeg.LoadJpegData(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                static_cast<std::size_t>(bytes.size())));
    return QPixmap::fromImage(ImageFromRaster(jpeg.TakePicture()));
}

QString FromStd(const std::string& text)
{
    return QString::fromStdString(text);
}

// A control of kind T named name at geometry (client-area pixels), with hint as tooltip.
template <class T>
T* MakeControl(QWidget* parent, const char* name, const QRect& geometry, const char* hint = nullptr)
{
    auto* control = new T(parent);
    control->setObjectName(name);
    control->setGeometry(geometry);
    if (hint)
        control->setToolTip(QString::fromUtf8(hint));
    return control;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, const QRect& geometry,
                        const char* hint)
{
    auto* radio = MakeControl<FocusFramed<QRadioButton>>(parent, name, geometry, hint);
    radio->setAutoFillBackground(true);
    QPalette palette = radio->palette();
    palette.setColor(QPalette::Window, Qt::white);
    radio->setPalette(palette);
    return radio;
}

QLineEdit* MakePathField(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* field = MakeControl<FocusFramed<QLineEdit>>(parent, name, geometry);
    field->setFrame(false);
    field->setReadOnly(true);
    // The artwork draws the field's box; the edit only shows the text.
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    field->setPalette(palette);
    return field;
}

// A size text the run accepts when it starts.
bool UsableSizeText(const QString& text)
{
    try {
        CheckedSizeText(text.toStdString());
        return true;
    } catch (const Error&) {
        return false;
    }
}

// Enters folder, else the nearest of its ancestors that can be entered; nothing for a path
// that is not absolute.
void EnterNearestFolder(const QString& folder)
{
    if (!QDir::isAbsolutePath(folder))
        return;
    for (QString path = QDir::cleanPath(folder);; path = QFileInfo(path).path()) {
        try {
            EnterFolder(path.toStdString());
            return;
        } catch (const Error&) {
            if (QDir(path).isRoot())
                return;
        }
    }
}

ClickLabel* MakeTransparentLabel(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* label = MakeControl<ClickLabel>(parent, name, geometry);
    label->setFixedSize(geometry.size());
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent, BatchRun::Options runOptions)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_run(*this, m_listing, std::move(runOptions))
{
    InitAppResources();
    setObjectName(kMainWindowName);
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(QIcon(QStringLiteral(":/app/picbatch.png")));
    setFixedSize(layout::kClientSize);
    setAcceptDrops(true);
    setFont(DialogFont(layout::kFontPoints));
    CreateControls();
    m_listing.SetBusyCallback([this](bool busy) { SetBusy(busy); });
    SelectFirstSize();
    RestoreSettings();
    RememberChanges();
}

MainWindow::~MainWindow()
{
    // A run still going ends while the window is whole: its last worker calls TickSoon.
    m_run.RequestClose();
    SetBusy(false);
}

void MainWindow::CreateControls()
{
    using namespace layout;

    m_artwork = MakeControl<ClickLabel>(this, kArtworkName, QRect(QPoint(0, 0), kArtworkSize));
    m_artwork->setPixmap(LoadArtwork());
    m_artwork->lower();

    // Blanks only: the caption it covers is drawn by the artwork.
    m_helpCaption = MakeTransparentLabel(this, kHelpCaptionName, kHelpCaption);
    m_helpCaption->setText(QString(34, QLatin1Char(' ')));

    m_helpLink = MakeTransparentLabel(this, kHelpLinkName, kHelpLink);
    m_helpLink->setText(QString::fromLatin1(kHelpAddress).toUpper());
    QFont linkFont = DialogFont(layout::kLinkFontPoints);
    linkFont.setUnderline(true);
    m_helpLink->setFont(linkFont);
    QPalette linkPalette = m_helpLink->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_helpLink->setPalette(linkPalette);
    m_helpLink->setToolTip(QStringLiteral("打开使用说明"));

    m_optionsLink = MakeTransparentLabel(this, kOptionsLinkName, kOptionsLink);
    m_optionsLink->setFont(linkFont);
    m_optionsLink->setPalette(linkPalette);
    ShowActiveOptions();

    m_sourceField = MakePathField(this, kSourceFieldName, kSourceField);
    m_destinationField = MakePathField(this, kDestinationFieldName, kDestinationField);

    m_sizeList = MakeControl<FlatComboBox>(this, kSizeListName, kSizeList);
    m_sizeList->setMaxVisibleItems(kPresetSizeTexts.size());
    QPalette comboPalette = m_sizeList->palette();
    comboPalette.setColor(QPalette::Button, comboPalette.color(QPalette::Light));
    m_sizeList->setPalette(comboPalette);
    for (std::string_view text : kPresetSizeTexts)
        m_sizeList->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));

    m_sourceButton =
        MakeControl<FaceButton>(this, kSourceButtonName, kSourceButton, "选择图片的源文件夹");
    m_destinationButton = MakeControl<FaceButton>(this, kDestinationButtonName, kDestinationButton,
                                                  "选择存放处理后图片的目标文件夹");
    m_customSizeButton =
        MakeControl<FaceButton>(this, kCustomSizeButtonName, kCustomSizeButton, "自定义图片尺寸");
    m_startButton = MakeControl<FaceButton>(this, kStartButtonName, kStartButton, kHintStart);

    m_keepFormatRadio =
        MakeRadio(this, kKeepFormatRadioName, kKeepFormatRadio, "保留原来的图片格式");
    m_jpegRadio = MakeRadio(this, kJpegRadioName, kJpegRadio, "目标文件采用jpg格式");
    m_bmpRadio = MakeRadio(this, kBmpRadioName, kBmpRadio, "目标文件采用bmp格式");
    m_keepFormatRadio->setChecked(true);

    m_progressBar = MakeControl<QProgressBar>(this, kProgressBarName, kProgressBar);
    m_progressBar->setTextVisible(false);
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(0);
    m_progressBar->hide();

    m_progressLabel = new QLabel(this);
    m_progressLabel->setObjectName(kProgressLabelName);
    m_progressLabel->move(kProgressLabel);
    m_progressLabel->setAttribute(Qt::WA_TranslucentBackground);
    QPalette progressPalette = m_progressLabel->palette();
    progressPalette.setColor(QPalette::WindowText, Qt::red);
    m_progressLabel->setPalette(progressPalette);
    m_progressLabel->adjustSize();

    m_runTimer = new QTimer(this);
    m_runTimer->setObjectName(kRunTimerName);
    m_runTimer->setInterval(kTimerInterval);

    setTabOrder(m_sizeList, m_sourceField);
    setTabOrder(m_sourceField, m_destinationField);
    setTabOrder(m_destinationField, m_keepFormatRadio);
    setTabOrder(m_keepFormatRadio, m_jpegRadio);
    setTabOrder(m_jpegRadio, m_bmpRadio);
    setTabOrder(m_bmpRadio, m_sourceButton);
    setTabOrder(m_sourceButton, m_destinationButton);
    setTabOrder(m_destinationButton, m_customSizeButton);
    setTabOrder(m_customSizeButton, m_startButton);
    m_sizeList->setFocus();

    connect(m_sourceButton, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { ChooseSourceFolder(); }); });
    connect(m_destinationButton, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { ChooseDestinationFolder(); }); });
    connect(m_customSizeButton, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { AddCustomSize(); }); });
    connect(m_startButton, &QAbstractButton::clicked, this, [this] { Guarded([this] { ToggleRun(); }); });
    connect(m_runTimer, &QTimer::timeout, this, [this] { Guarded([this] { AdvanceRun(); }); });
    connect(this, &MainWindow::RunNeedsTick, this, [this] { Guarded([this] { AdvanceRun(); }); },
            Qt::QueuedConnection);
    // The summary of the last run stays until the user changes what the next run would do.
    connect(m_sizeList, &QComboBox::currentIndexChanged, this, [this] { m_run.ClearSummary(); });
    for (QRadioButton* radio : {m_keepFormatRadio, m_jpegRadio, m_bmpRadio})
        connect(radio, &QRadioButton::toggled, this, [this] { m_run.ClearSummary(); });
    // The link, the caption before it and the artwork all open the help page.
    for (ClickLabel* helpArea : {m_helpLink, m_artwork, m_helpCaption})
        connect(helpArea, &ClickLabel::clicked, this, [this] { Guarded([this] { OpenHelp(); }); });
    connect(m_optionsLink, &ClickLabel::clicked, this, [this] { Guarded([this] { ChooseOptions(); }); });

    // Without a window manager's close box (and for keyboard users) the usual quit key
    // closes the window the same way.
    auto* quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

template <class Handler>
void MainWindow::Guarded(Handler&& handler)
{
    if (const std::optional<std::string> failure = FailureOf(handler))
        ShowErrorBox(this, FromStd(*failure));
}

void MainWindow::SelectFirstSize()
{
    m_sizeList->setCurrentIndex(0);
}

void MainWindow::RestoreSettings()
{
    m_options = m_settings.Options();
    ShowActiveOptions();
    for (const QString& size : m_settings.CustomSizes())
        if (UsableSizeText(size))
            m_sizeList->addItem(size);
    const int chosen = m_sizeList->findText(m_settings.ChosenSize());
    if (chosen >= 0)
        m_sizeList->setCurrentIndex(chosen);
    if (const std::optional<OutputMode> mode = m_settings.Mode()) {
        QRadioButton* radio = *mode == OutputMode::Jpeg ? m_jpegRadio
                            : *mode == OutputMode::Bmp  ? m_bmpRadio
                                                        : m_keepFormatRadio;
        radio->setChecked(true);
    }
    if (const QString source = m_settings.SourceFolder(); !source.isEmpty()) {
        try {
            SetSourceFolder(source);
        } catch (const Error&) {
            // Not restored: the field stays empty and the listing keeps its start folder.
        }
    }
    if (const QString destination = m_settings.DestinationFolder(); !destination.isEmpty())
        SetDestinationFolder(destination);
    EnterNearestFolder(m_settings.ChooserFolder());
}

void MainWindow::RememberChanges()
{
    connect(m_sizeList, &QComboBox::currentTextChanged, this,
            [this](const QString& size) { m_settings.SetChosenSize(size); });
    for (QRadioButton* radio : {m_keepFormatRadio, m_jpegRadio, m_bmpRadio})
        connect(radio, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                m_settings.SetMode(SelectedOutputMode());
        });
}

QStringList MainWindow::CustomSizeTexts() const
{
    QStringList sizes;
    for (int i = int(kPresetSizeTexts.size()); i < m_sizeList->count(); ++i)
        sizes << m_sizeList->itemText(i);
    return sizes;
}

std::optional<QString> MainWindow::ChooseFolder()
{
    FolderChooserDialog chooser(this);
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    m_settings.SetChooserFolder(chooser.SelectedPath());
    return chooser.SelectedPath();
}

void MainWindow::ChooseSourceFolder()
{
    if (const std::optional<QString> folder = ChooseFolder())
        SetSourceFolder(*folder);
}

void MainWindow::SetSourceFolder(const QString& folder)
{
    m_run.ClearSummary();
    const QString shown = m_sourceField->text();
    m_sourceField->setText(folder);
    m_sourceField->setToolTip(folder);  // the field shows only the end of a long path
    try {
        m_listing.SelectFolder(folder.toStdString());
    } catch (...) {
        // The listing kept its folder: a field naming another one would make a run load
        // the old entries' names from the new folder.
        m_sourceField->setText(shown);
        m_sourceField->setToolTip(shown);
        throw;
    }
    m_settings.SetSourceFolder(folder);
}

void MainWindow::ChooseDestinationFolder()
{
    if (const std::optional<QString> folder = ChooseFolder())
        SetDestinationFolder(*folder);
}

void MainWindow::SetDestinationFolder(const QString& folder)
{
    m_run.ClearSummary();
    m_destinationField->setText(folder);
    m_destinationField->setToolTip(folder);
    m_settings.SetDestinationFolder(folder);
}

void MainWindow::OpenSourceFolder(const QString& path)
{
    Guarded([&] { SetSourceFolder(FromStd(EnteredFolder(FolderNamedBy(path.toStdString())))); });
}

void MainWindow::OpenDestinationFolder(const QString& path)
{
    Guarded([&] { SetDestinationFolder(FromStd(EnteredFolder(FolderNamedBy(path.toStdString())))); });
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.front().isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return;
    event->acceptProposedAction();
    // Of several dropped items the first decides, as a window has one source.
    OpenSourceFolder(urls.front().toLocalFile());
}

void MainWindow::AddCustomSize()
{
    CustomSizeDialog dialog(this);
    dialog.exec();
    const QString text = dialog.Result();
    if (text.isEmpty())
        return;
    m_sizeList->addItem(text);
    m_settings.SetCustomSizes(CustomSizeTexts());
    m_sizeList->setCurrentIndex(m_sizeList->count() - 1);
}

void MainWindow::ChooseOptions()
{
    OptionsDialog dialog(m_options, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_options = dialog.Result();
    m_settings.SetOptions(m_options);
    ShowActiveOptions();
    m_run.ClearSummary();
}

void MainWindow::ShowActiveOptions()
{
    const std::vector<std::string> active = ActiveOptionTexts(m_options);
    QString text = QStringLiteral("选项");
    QString hint = QStringLiteral("图片方向与 EXIF 信息");
    if (!active.empty()) {
        text = QStringLiteral("选项（%1）").arg(active.size());
        hint = QStringLiteral("已选的选项：");
        for (const std::string& choice : active)
            hint += QStringLiteral("\n· ") + FromStd(choice);
    }
    m_optionsLink->setText(text);
    m_optionsLink->setToolTip(hint);
    // A longer text widens the link to the right, over plain background; it never moves.
    const int width = std::max(layout::kOptionsLink.width(), m_optionsLink->fontMetrics().horizontalAdvance(text) + 2);
    m_optionsLink->setFixedSize(width, layout::kOptionsLink.height());
}

void MainWindow::ToggleRun()
{
    m_run.Toggle();
}

void MainWindow::AdvanceRun()
{
    m_run.Tick();
}

void MainWindow::PrepareToClose()
{
    m_run.RequestClose();
}

void MainWindow::OpenHelp()
{
    m_help.Open();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    PrepareToClose();
    event->accept();
}

void MainWindow::showEvent(QShowEvent* event)
{
    if (!m_centred) {
        m_centred = true;
        if (const QScreen* display = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(display->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}

void MainWindow::SetBusy(bool busy)
{
    if (busy == m_busyCursor)
        return;
    m_busyCursor = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

std::string MainWindow::SelectedSizeText()
{
    return m_sizeList->currentText().toStdString();
}

std::string MainWindow::SourceFolderText()
{
    return m_sourceField->text().toStdString();
}

std::string MainWindow::DestinationFolderText()
{
    return m_destinationField->text().toStdString();
}

ConversionOptions MainWindow::SelectedConversionOptions()
{
    return m_options;
}

OutputMode MainWindow::SelectedOutputMode()
{
    if (m_keepFormatRadio->isChecked())
        return OutputMode::KeepFormat;
    if (m_jpegRadio->isChecked())
        return OutputMode::Jpeg;
    return OutputMode::Bmp;
}

void MainWindow::SetTimerEnabled(bool enabled)
{
    if (enabled)
        m_runTimer->start();
    else
        m_runTimer->stop();
}

void MainWindow::SetProgressMaximum(int maximum)
{
    // Qt draws a bar whose maximum equals its minimum as a busy animation; an empty
    // listing should show an empty bar instead.
    m_progressBar->setMaximum(std::max(maximum, 1));
}

void MainWindow::SetProgressPosition(int position)
{
    // Qt ignores values outside the range; a listing that grew during the run (a new
    // source folder) should fill the bar rather than freeze it.
    m_progressBar->setValue(std::clamp(position, 0, m_progressBar->maximum()));
}

void MainWindow::SetProgressVisible(bool visible)
{
    m_progressBar->setVisible(visible);
}

void MainWindow::SetProgressText(const std::string& text)
{
    m_progressLabel->setText(FromStd(text));
    m_progressLabel->adjustSize();
}

void MainWindow::SetStartHint(const std::string& hint)
{
    m_startButton->setToolTip(FromStd(hint));
}

void MainWindow::TickSoon()
{
    // From a worker thread: the queued connection runs the tick on the window's thread.
    emit RunNeedsTick();
}

void MainWindow::RunEnded(const std::string& summary)
{
    std::printf("picbatch: %s\n", summary.c_str());
    std::fflush(stdout);
}

void MainWindow::SetRunning(bool running)
{
    m_startButton->SetCaption(running ? QStringLiteral("停止") : QString());
}

void MainWindow::ShowFailureReport(const std::string& text)
{
    QMessageBox box(QMessageBox::Warning, ApplicationTitle(), FromStd(text), QMessageBox::Ok, this);
    QPushButton* save = box.addButton(QString::fromUtf8(kSaveReportCaption), QMessageBox::ActionRole);
    save->setObjectName(kSaveReportButtonName);
    // A message box closes on any of its buttons; this one saves and leaves the report up.
    QObject::disconnect(save, &QAbstractButton::clicked, nullptr, nullptr);
    connect(save, &QAbstractButton::clicked, &box, [this, &box] {
        const QString folder = m_destinationField->text().isEmpty() ? QDir::currentPath() : m_destinationField->text();
        const QString path = QFileDialog::getSaveFileName(&box, QString::fromUtf8(kSaveReportCaption),
                                                          QDir(folder).filePath(kReportFileName),
                                                          QStringLiteral("JSON Lines (*.jsonl)"));
        if (path.isEmpty())
            return;
        if (const std::optional<std::string> failure =
                FailureOf([&] { m_run.SaveReport(QFile::encodeName(path).toStdString()); }))
            ShowErrorBox(&box, FromStd(*failure));
    });
    box.exec();
}

}  // namespace picbatch
