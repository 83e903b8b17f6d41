// The main window: fixed geometry over the artwork, the handlers, and the run's window.
#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QIcon>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <span>

#include "app/click_label.h"
#include "app/face_button.h"
#include "app/flat_combo_box.h"
#include "app/listing_holder.h"
#include "app/raster_image.h"
#include "app/window_layout.h"
#include "batch/target_size.h"
#include "dialogs/custom_size_dialog.h"
#include "dialogs/dialog_look.h"
#include "dialogs/error_box.h"
#include "dialogs/folder_chooser_dialog.h"
#include "pictures/jpeg_image.h"

// Q_INIT_RESOURCE must be used outside any namespace; the resources live in a static
// library, whose registration code the linker would otherwise drop.
static void InitAppResources()
{
    Q_INIT_RESOURCE(app);
}

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
    TJPEGImage jpeg;
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
    auto* radio = MakeControl<QRadioButton>(parent, name, geometry, hint);
    radio->setAutoFillBackground(true);
    QPalette palette = radio->palette();
    palette.setColor(QPalette::Window, Qt::white);
    radio->setPalette(palette);
    return radio;
}

QLineEdit* MakePathField(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* field = MakeControl<QLineEdit>(parent, name, geometry);
    field->setFrame(false);
    field->setReadOnly(true);
    // The artwork draws the field's box; the edit only shows the text.
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    field->setPalette(palette);
    return field;
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

TfrmMain::TfrmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_fList(new ListingHolder(this)),
      m_run(*this, m_fList->Listing())
{
    InitAppResources();
    setObjectName("frmMain");
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(QIcon(QStringLiteral(":/app/picbatch.png")));
    setFixedSize(layout::kClientSize);
    setFont(DialogFont(layout::kFontPoints));
    CreateControls();
    m_fList->Listing().SetBusyCallback([this](bool busy) { SetBusy(busy); });
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    SetBusy(false);
}

void TfrmMain::CreateControls()
{
    using namespace layout;

    m_image1 = MakeControl<ClickLabel>(this, "Image1", QRect(QPoint(0, 0), kArtworkSize));
    m_image1->setPixmap(LoadArtwork());
    m_image1->lower();

    m_lblwenlo = MakeTransparentLabel(this, "lblwenlo", kLblWenlo);
    m_lblwenlo->setText(QString(34, QLatin1Char(' ')));

    m_lblLink = MakeTransparentLabel(this, "lblLink", kLblLink);
    m_lblLink->setText(QString::fromLatin1(kHelpAddress).toUpper());
    QFont linkFont = DialogFont(layout::kLinkFontPoints);
    linkFont.setUnderline(true);
    m_lblLink->setFont(linkFont);
    QPalette linkPalette = m_lblLink->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_lblLink->setPalette(linkPalette);
    m_lblLink->setToolTip(QStringLiteral("打开使用说明"));

    m_txtPath1 = MakePathField(this, "txtPath1", kTxtPath1);
    m_txtPath2 = MakePathField(this, "txtPath2", kTxtPath2);

    m_cmbSize = MakeControl<FlatComboBox>(this, "cmbSize", kCmbSize);
    m_cmbSize->setMaxVisibleItems(kPresetSizeTexts.size());
    QPalette comboPalette = m_cmbSize->palette();
    comboPalette.setColor(QPalette::Button, comboPalette.color(QPalette::Light));
    m_cmbSize->setPalette(comboPalette);
    for (std::string_view text : kPresetSizeTexts)
        m_cmbSize->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));

    m_btn1 = MakeControl<FaceButton>(this, "btn1", kBtn1, "选择图片的源文件夹");
    m_btn2 = MakeControl<FaceButton>(this, "btn2", kBtn2, "选择存放处理后图片的目标文件夹");
    m_speedButton1 = MakeControl<FaceButton>(this, "SpeedButton1", kSpeedButton1, "自定义图片尺寸");
    m_speedButton3 = MakeControl<FaceButton>(this, "SpeedButton3", kSpeedButton3, kHintStart);

    m_r1 = MakeRadio(this, "r1", kR1, "保留原来的图片格式");
    m_r2 = MakeRadio(this, "r2", kR2, "目标文件采用jpg格式");
    m_r3 = MakeRadio(this, "r3", kR3, "目标文件采用bmp格式");
    m_r1->setChecked(true);

    m_progressBar1 = MakeControl<QProgressBar>(this, "ProgressBar1", kProgressBar1);
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setRange(0, 1);
    m_progressBar1->setValue(0);
    m_progressBar1->hide();

    m_lblProc = new QLabel(this);
    m_lblProc->setObjectName("lblProc");
    m_lblProc->move(kLblProc);
    m_lblProc->setAttribute(Qt::WA_TranslucentBackground);
    QPalette procPalette = m_lblProc->palette();
    procPalette.setColor(QPalette::WindowText, Qt::red);
    m_lblProc->setPalette(procPalette);
    m_lblProc->adjustSize();

    m_fList->setObjectName("fList");
    m_fList->setGeometry(kFList);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName("Timer1");
    m_timer1->setInterval(kTimerInterval);

    setTabOrder(m_cmbSize, m_txtPath1);
    setTabOrder(m_txtPath1, m_txtPath2);
    setTabOrder(m_txtPath2, m_r1);
    setTabOrder(m_r1, m_r2);
    setTabOrder(m_r2, m_r3);
    setTabOrder(m_r3, m_btn1);
    setTabOrder(m_btn1, m_btn2);
    setTabOrder(m_btn2, m_speedButton1);
    setTabOrder(m_speedButton1, m_speedButton3);
    m_cmbSize->setFocus();

    connect(m_btn1, &QAbstractButton::clicked, this, [this] { Guarded([this] { btn1Click(); }); });
    connect(m_btn2, &QAbstractButton::clicked, this, [this] { Guarded([this] { btn2Click(); }); });
    connect(m_speedButton1, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { SpeedButton1Click(); }); });
    connect(m_speedButton3, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { SpeedButton3Click(); }); });
    connect(m_timer1, &QTimer::timeout, this, [this] { Guarded([this] { Timer1Timer(); }); });
    connect(m_lblLink, &ClickLabel::clicked, this, [this] { Guarded([this] { lblLinkClick(); }); });
    connect(m_image1, &ClickLabel::clicked, this, [this] { Guarded([this] { Image1Click(); }); });
    connect(m_lblwenlo, &ClickLabel::clicked, this,
            [this] { Guarded([this] { lblwenloClick(); }); });

    // Without a window manager's close box (and for keyboard users) the usual quit key
    // closes the window the same way.
    auto* quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

template <class Handler>
void TfrmMain::Guarded(Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowErrorBox(this, FromStd(error.what()));
    }
}

void TfrmMain::FormCreate()
{
    m_cmbSize->setCurrentIndex(0);
}

void TfrmMain::btn1Click()
{
    FolderChooserDialog chooser(this);
    chooser.exec();
    const QString folder = chooser.SelectedPath();
    const QString shown = m_txtPath1->text();
    m_txtPath1->setText(folder);
    m_txtPath1->setToolTip(folder);  // the field shows only the end of a long path
    try {
        m_fList->Listing().SelectFolder(folder.toStdString());
    } catch (...) {
        // The listing kept its folder: a field naming another one would make a run load
        // the old entries' names from the new folder.
        m_txtPath1->setText(shown);
        m_txtPath1->setToolTip(shown);
        throw;
    }
}

void TfrmMain::btn2Click()
{
    FolderChooserDialog chooser(this);
    chooser.exec();
    m_txtPath2->setText(chooser.SelectedPath());
    m_txtPath2->setToolTip(chooser.SelectedPath());
}

void TfrmMain::SpeedButton1Click()
{
    CustomSizeDialog dialog(this);
    dialog.exec();
    const QString text = dialog.Result();
    if (text.isEmpty())
        return;
    m_cmbSize->addItem(text);
    m_cmbSize->setCurrentIndex(m_cmbSize->count() - 1);
}

void TfrmMain::SpeedButton3Click()
{
    m_run.Toggle();
}

void TfrmMain::Timer1Timer()
{
    m_run.Tick();
}

void TfrmMain::FormCloseQuery()
{
    m_run.RequestClose();
}

void TfrmMain::lblLinkClick()
{
    m_help.Open();
}

void TfrmMain::Image1Click()
{
    m_help.Open();
}

void TfrmMain::lblwenloClick()
{
    m_help.Open();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    FormCloseQuery();
    event->accept();
}

void TfrmMain::showEvent(QShowEvent* event)
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

void TfrmMain::SetBusy(bool busy)
{
    if (busy == m_busyCursor)
        return;
    m_busyCursor = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

std::string TfrmMain::SelectedSizeText()
{
    return m_cmbSize->currentText().toStdString();
}

std::string TfrmMain::SourceFolderText()
{
    return m_txtPath1->text().toStdString();
}

std::string TfrmMain::DestinationFolderText()
{
    return m_txtPath2->text().toStdString();
}

OutputMode TfrmMain::SelectedOutputMode()
{
    if (m_r1->isChecked())
        return OutputMode::KeepFormat;
    if (m_r2->isChecked())
        return OutputMode::Jpeg;
    return OutputMode::Bmp;
}

void TfrmMain::SetTimerEnabled(bool enabled)
{
    if (enabled)
        m_timer1->start();
    else
        m_timer1->stop();
}

void TfrmMain::SetProgressMaximum(int maximum)
{
    // Qt draws a bar whose maximum equals its minimum as a busy animation; an empty
    // listing should show an empty bar instead.
    m_progressBar1->setMaximum(std::max(maximum, 1));
}

void TfrmMain::SetProgressPosition(int position)
{
    // Qt ignores values outside the range; a listing that grew during the run (a new
    // source folder) should fill the bar rather than freeze it.
    m_progressBar1->setValue(std::clamp(position, 0, m_progressBar1->maximum()));
}

void TfrmMain::SetProgressVisible(bool visible)
{
    m_progressBar1->setVisible(visible);
}

void TfrmMain::SetProgressText(const std::string& text)
{
    m_lblProc->setText(FromStd(text));
    m_lblProc->adjustSize();
}

void TfrmMain::SetStartHint(const std::string& hint)
{
    m_speedButton3->setToolTip(FromStd(hint));
}

void TfrmMain::ProcessPendingEvents()
{
    QCoreApplication::processEvents();
}

void TfrmMain::Sleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void TfrmMain::CloseWindow()
{
    close();
}

void TfrmMain::ShowFailureReport(const std::string& text)
{
    QMessageBox::warning(this, ApplicationTitle(), FromStd(text));
}
