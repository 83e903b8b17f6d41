// The main window driven through its real controls, timer and modal dialogs (offscreen).
// Dialogs are answered by a watcher timer that acts once a modal window is up.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "app/control_names.h"
#include "app/face_button.h"
#include "app/picbatch_application.h"
#include "app/raster_image.h"
#include "app/start_command.h"
#include "app/main_window.h"
#include "app/window_settings.h"
#include "batch/size_check.h"
#include "batch/target_size.h"
#include "dialogs/control_names.h"
#include "dialogs/error_box.h"
#include "dialogs/folder_chooser_dialog.h"
#include "dialogs/options_dialog.h"
#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp.h"
#include "pictures/files/file_io.h"
#include "pictures/files/replace_file.h"
#include "pictures/jpeg/jpeg_image.h"
#include "pictures/load_picture.h"
#include "tests/batch/fake_run_window.h"
#include "tests/dialogs/modal.h"
#include "tests/dialogs/window_checks.h"

namespace picbatch {

namespace {

// Calls act with the first modal window that appears, from inside its modal loop.
void WhenModal(std::function<void(QWidget*)> act)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act = std::move(act)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start(5);
}

void Click(QWidget* window, const char* name)
{
    auto* button = window->findChild<QAbstractButton*>(name);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Clicks OK or Cancel (by its object name) in the next modal dialog.
void AnswerNextDialog(const char* buttonName)
{
    WhenModal([buttonName](QWidget* dialog) { Click(dialog, buttonName); });
}

// Adds a custom size through the window's custom size dialog.
void AddCustomSize(QWidget& window, const QString& width, const QString& height)
{
    WhenModal([=](QWidget* dialog) {
        dialog->findChild<QLineEdit*>(kWidthFieldName)->setText(width);
        dialog->findChild<QLineEdit*>(kHeightFieldName)->setText(height);
        Click(dialog, kOkButtonName);
    });
    Click(&window, kCustomSizeButtonName);
}

// Where the next folder chooser opens (it is cancelled at once).
QString ChooserStartFolder(QWidget& window, const char* button)
{
    QString folder;
    WhenModal([&folder](QWidget* modal) {
        auto* chooser = qobject_cast<FolderChooserDialog*>(modal);
        QVERIFY(chooser);
        folder = QString::fromStdString(chooser->CurrentFolderPath());
        Click(chooser, kCancelButtonName);
    });
    Click(&window, button);
    return folder;
}

QString Canonical(const QTemporaryDir& dir)
{
    return QDir(dir.path()).canonicalPath();
}

QImage TestImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 128));
    return image;
}

void WriteJpeg(const QString& path, const QImage& image)
{
    JpegImage jpeg;
    jpeg.AssignPicture(RasterFromImage(image));
    std::vector<std::uint8_t> bytes;
    jpeg.SaveJpegData(bytes);
    ReplaceFile(path.toStdString(), bytes);
}

void WriteText(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// An object whose handler for user events fails, as a faulty handler anywhere might.
class FailingHandler : public QObject {
public:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            throw Error("Stream read error");
        if (event->type() == QEvent::User + 1)
            throw std::bad_alloc();
        return QObject::event(event);
    }
};

// Collects the URLs the window asks the desktop to open, instead of starting a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls.push_back(url); }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    template <class T>
    static T* Control(QWidget& window, const char* name)
    {
        auto* control = window.findChild<T*>(name);
        if (!control)
            qFatal("no control %s", name);
        return control;
    }

    // Picks folder as the result of the source or destination button: the chooser opens at
    // the current folder and OK returns it.
    static void ChooseFolder(MainWindow& window, const char* button, const QString& folder)
    {
        QVERIFY(QDir::setCurrent(folder));
        AnswerNextDialog(kOkButtonName);
        Click(&window, button);
    }

    QString m_startFolder;

private slots:
    void initTestCase() { m_startFolder = QDir::currentPath(); }
    // Every window starts with nothing remembered.
    void init() { QSettings(QStringLiteral("picbatch"), QStringLiteral("picbatch")).clear(); }
    void cleanup() { QDir::setCurrent(m_startFolder); }

    void StartState()
    {
        MainWindow window;
        window.show();
        QCOMPARE(window.windowTitle(), QStringLiteral("Kavrel图片批处理工具"));
        QCOMPARE(window.size(), QSize(671, 422));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMinMaxButtonsHint));

        auto* sizes = Control<QComboBox>(window, kSizeListName);
        QCOMPARE(sizes->count(), int(kPresetSizeTexts.size()));
        QCOMPARE(sizes->currentIndex(), 0);
        QCOMPARE(sizes->currentText(), QStringLiteral("778 * 502  （杂志图片）"));
        QVERIFY(Control<QRadioButton>(window, kKeepFormatRadioName)->isChecked());
        QVERIFY(!Control<QRadioButton>(window, kJpegRadioName)->isChecked());
        QVERIFY(!Control<QRadioButton>(window, kBmpRadioName)->isChecked());
        QCOMPARE(Control<QRadioButton>(window, kBmpRadioName)->toolTip(),
                 QStringLiteral("目标文件采用bmp格式"));
        QVERIFY(Control<QProgressBar>(window, kProgressBarName)->isHidden());
        QVERIFY(Control<QLabel>(window, kProgressLabelName)->text().isEmpty());
        QVERIFY(Control<QLineEdit>(window, kSourceFieldName)->isReadOnly());
        QCOMPARE(Control<QTimer>(window, kRunTimerName)->interval(), 80);
        QVERIFY(!Control<QTimer>(window, kRunTimerName)->isActive());
        QCOMPARE(Control<QAbstractButton>(window, kStartButtonName)->toolTip(),
                 QStringLiteral("点击确定将开始处理图片"));
        QCOMPARE(Control<QLabel>(window, kHelpLinkName)->text(), QStringLiteral("PICBATCH:HELP"));

        // The artwork was decoded and is larger than the client area, as drawn.
        auto* artwork = Control<QLabel>(window, kArtworkName);
        QCOMPARE(artwork->pixmap().size(), QSize(674, 480));
    }

    // Every control where the artwork expects it, with its hint, and Tab going through them
    // in the window's order.
    void ControlsSitOnTheArtwork()
    {
        MainWindow window;
        CheckControls(window, {
            {kArtworkName, {0, 0, 674, 480}},
            {kSourceButtonName, {404, 186, 70, 20}, nullptr, "选择图片的源文件夹"},
            {kDestinationButtonName, {405, 222, 69, 20}, nullptr, "选择存放处理后图片的目标文件夹"},
            {kCustomSizeButtonName, {404, 268, 71, 21}, nullptr, "自定义图片尺寸"},
            {kStartButtonName, {405, 324, 70, 32}, nullptr, "点击确定将开始处理图片"},
            {kSourceFieldName, {156, 188, 219, 17}, ""},
            {kDestinationFieldName, {156, 225, 220, 17}, ""},
            {kSizeListName, {154, 268, 226, 21}},
            {kKeepFormatRadioName, {166, 332, 17, 17}, "", "保留原来的图片格式"},
            {kJpegRadioName, {240, 333, 15, 17}, "", "目标文件采用jpg格式"},
            {kBmpRadioName, {318, 333, 14, 17}, "", "目标文件采用bmp格式"},
            {kProgressBarName, {149, 370, 238, 12}},
            {kHelpLinkName, {256, 119, 105, 17}, "PICBATCH:HELP"},
            {kHelpCaptionName, {152, 120, 91, 13}, "                                  "},
            {kOptionsLinkName, {372, 119, 40, 17}, "选项", "图片方向与 EXIF 信息"},
        });
        // What scripts and accessibility tools find the window and its controls by.
        QCOMPARE(window.objectName(), QStringLiteral("frmMain"));
        QCOMPARE(ObjectNames(window),
                 (QStringList{"Image1", "ProgressBar1", "SpeedButton1", "SpeedButton3", "Timer1", "btn1",
                              "btn2", "cmbSize", "lblLink", "lblOptions", "lblProc", "lblwenlo", "r1", "r2", "r3",
                              "txtPath1", "txtPath2"}));
        QCOMPARE(Control<QLabel>(window, kProgressLabelName)->pos(), QPoint(416, 369));
        QCOMPARE(window.font().pointSize(), 8);

        for (const char* name : {kSourceButtonName, kDestinationButtonName, kCustomSizeButtonName,
                                 kStartButtonName, kHelpLinkName})
            QCOMPARE(Control<QWidget>(window, name)->cursor().shape(), Qt::PointingHandCursor);
        for (const char* name : {kSourceFieldName, kDestinationFieldName}) {
            QVERIFY(Control<QLineEdit>(window, name)->isReadOnly());
            QVERIFY(!Control<QLineEdit>(window, name)->hasFrame());
        }
        QVERIFY(!Control<QComboBox>(window, kSizeListName)->isEditable());
        for (const char* name : {kKeepFormatRadioName, kJpegRadioName, kBmpRadioName})
            QCOMPARE(Control<QWidget>(window, name)->palette().color(QPalette::Window), QColor(Qt::white));
        auto* link = Control<QLabel>(window, kHelpLinkName);
        QCOMPARE(link->font().pointSize(), 9);
        QVERIFY(link->font().underline());
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QCOMPARE(link->minimumSize(), link->maximumSize());
        QCOMPARE(Control<QLabel>(window, kProgressLabelName)->palette().color(QPalette::WindowText),
                 QColor(Qt::red));

        auto* sizes = Control<QComboBox>(window, kSizeListName);
        QCOMPARE(TabOrder(window, sizes), (QStringList{"cmbSize", "txtPath1", "txtPath2", "r1", "r2", "r3", "btn1",
                                                       "btn2", "SpeedButton1", "SpeedButton3"}));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), sizes);
    }

    // Each control that takes the focus shows that it has it: the fields (empty, so only a
    // frame can show it), the size list, the radio buttons and the flat buttons.
    void FocusIsVisibleOnEveryControl()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(CheckFocusShowsAllRound(window), (QStringList{"cmbSize", "txtPath1", "txtPath2", "r1", "btn1",
                                                              "btn2", "SpeedButton1", "SpeedButton3"}));
        // Tab enters the radio buttons at the checked one; the arrow keys go on to the others.
        const char* radios[] = {kKeepFormatRadioName, kJpegRadioName, kBmpRadioName};
        for (int i = 1; i < 3; ++i) {
            Control<QRadioButton>(window, radios[i - 1])->setFocus(Qt::TabFocusReason);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
            QVERIFY(Control<QRadioButton>(window, radios[i])->isChecked());
            CheckFocusShows(*Control<QRadioButton>(window, radios[i]));
        }
    }

    void CustomSizesAreAppendedAndSelected()
    {
        MainWindow window;
        window.show();
        auto* sizes = Control<QComboBox>(window, kSizeListName);
        const struct {
            const char* width;
            const char* height;
            const char* text;
        } cases[] = {{"800", "600", "800 * 600  （自定义尺寸）"},
                     {"1234", "56", "1234 * 56  （自定义尺寸）"}};
        int expectedCount = sizes->count();
        for (const auto& c : cases) {
            AddCustomSize(window, c.width, c.height);
            ++expectedCount;
            QCOMPARE(sizes->count(), expectedCount);
            QCOMPARE(sizes->currentIndex(), expectedCount - 1);
            QCOMPARE(sizes->currentText(), QString::fromUtf8(c.text));
        }

        // Cancel adds nothing and keeps the selection.
        AnswerNextDialog(kCancelButtonName);
        Click(&window, kCustomSizeButtonName);
        QCOMPARE(sizes->count(), expectedCount);
        QCOMPARE(sizes->currentIndex(), expectedCount - 1);
    }

    // Leaving the chooser without OK (Cancel, Esc, the close box) keeps both fields, the
    // listing and a running run as they were, although the chooser moved elsewhere.
    void CancelledChoiceKeepsFoldersListingAndRun_data() { AddCloseWithoutOkRows(); }

    void CancelledChoiceKeepsFoldersListingAndRun()
    {
        QFETCH(CloseWithoutOk, how);
        // Over 100 entries: listing them shows the busy pointer, which must be restored.
        QTemporaryDir source;
        QTemporaryDir target;
        QTemporaryDir elsewhere;
        WriteText(source.filePath("a.txt"), "x");  // no picture: a stop reports no failure
        for (int i = 0; i < 120; ++i)
            WriteText(source.filePath(QString("n%1.txt").arg(i, 3, 10, QChar('0'))), "x");
        // The run's worker waits at the gate, so the run goes on while the choosers are up.
        EntryGate gate;
        MainWindow window(nullptr, {1, [&] { gate.Pass(); }});
        const EntryGate::OpenAtScopeEnd openGate{gate};
        window.show();
        auto* sourceField = Control<QLineEdit>(window, kSourceFieldName);
        auto* destinationField = Control<QLineEdit>(window, kDestinationFieldName);
        SourceListing& listing = window.Listing();

        ChooseFolder(window, kSourceButtonName, source.path());
        ChooseFolder(window, kDestinationButtonName, target.path());
        const QString sourceFolder = QDir(source.path()).canonicalPath();
        const QString destinationFolder = QDir(target.path()).canonicalPath();
        QCOMPARE(sourceField->text(), sourceFolder);
        QCOMPARE(listing.Count(), 121);
        QVERIFY(!QApplication::overrideCursor());
        Click(&window, kStartButtonName);
        QVERIFY(window.Run().Running());

        for (const char* button : {kSourceButtonName, kDestinationButtonName}) {
            QVERIFY(QDir::setCurrent(elsewhere.path()));  // where OK would have chosen
            WhenModal([how](QWidget* modal) {
                auto* chooser = qobject_cast<QDialog*>(modal);
                QVERIFY(chooser);
                Leave(*chooser, how, chooser->findChild<QPushButton*>(kCancelButtonName),
                      chooser->focusWidget());
            });
            Click(&window, button);
            QCOMPARE(sourceField->text(), sourceFolder);
            QCOMPARE(destinationField->text(), destinationFolder);
        }
        QCOMPARE(QString::fromStdString(listing.ListedFolder()), sourceFolder);
        QCOMPARE(listing.Count(), 121);
        QCOMPARE(listing.EntryAt(0), std::string("a.txt"));
        QCOMPARE(QString::fromStdString(window.SourceFolderText()), sourceFolder);
        QCOMPARE(QString::fromStdString(window.DestinationFolderText()), destinationFolder);
        QVERIFY(window.Run().Running());
        Click(&window, kStartButtonName);
        gate.Open();
        QTRY_VERIFY(!window.Run().Running());
    }

    // A chosen folder that cannot be listed (gone by the time OK is clicked) is reported,
    // and the field goes back to the folder the listing still holds.
    void UnlistableSourceFolderKeepsFieldAndListingTogether()
    {
        QTemporaryDir first;
        QTemporaryDir parent;
        WriteText(first.filePath("a.bmp"), "x");
        const QString gone = parent.filePath("gone");
        QVERIFY(QDir().mkdir(gone));
        MainWindow window;
        window.show();
        auto* field = Control<QLineEdit>(window, kSourceFieldName);
        SourceListing& listing = window.Listing();
        ChooseFolder(window, kSourceButtonName, first.path());
        const QString firstText = field->text();

        QVERIFY(QDir::setCurrent(gone));
        QString errorText;
        WhenModal([&](QWidget* chooser) {
            QVERIFY(QDir().rmdir(gone));
            WhenModal([&](QWidget* box) {
                errorText = static_cast<QMessageBox*>(box)->text();
                static_cast<QMessageBox*>(box)->accept();
            });
            Click(chooser, kOkButtonName);
        });
        Click(&window, kSourceButtonName);
        QCOMPARE(errorText, QStringLiteral("File not found."));
        QCOMPARE(field->text(), firstText);
        QCOMPARE(QString::fromStdString(listing.ListedFolder()), firstText);
        QCOMPARE(listing.Count(), 1);
    }

    void CommandLineNamesTheStartFolders()
    {
        const QString here = QDir::currentPath();
        StartCommand none = ParseStartCommand({});
        QVERIFY(none.source.isEmpty() && none.destination.isEmpty() && !none.help && none.problem.isEmpty());

        const StartCommand both = ParseStartCommand({"in", "/tmp/out"});
        QCOMPARE(both.source, here + "/in");  // absolute before the window enters any folder
        QCOMPARE(both.destination, QStringLiteral("/tmp/out"));
        QCOMPARE(ParseStartCommand({"--", "-odd name"}).source, here + "/-odd name");
        QVERIFY(ParseStartCommand({"in", "--help"}).help);
        QVERIFY(ParseStartCommand({"-h"}).help);
        QVERIFY(StartUsageText().contains(QStringLiteral("picbatch [SOURCE [DESTINATION]]")));

        QVERIFY(ParseStartCommand({"a", "b", "c"}).problem.contains(QStringLiteral("at most two folders")));
        QVERIFY(ParseStartCommand({"--size", "a"}).problem.contains(QStringLiteral("--size")));
    }

    // Folders from the command line or dropped on the window go where the chooser's would:
    // the field shows the folder as the system reports it and the listing takes it; a picture
    // stands for its folder; an unusable path is reported as the chooser reports it.
    void FoldersFromOutsideFillTheFields()
    {
        QTemporaryDir source;
        QTemporaryDir destination;
        WriteJpeg(source.filePath("a.jpg"), TestImage(8, 6));
        const QString sourceFolder = QDir(source.path()).canonicalPath();
        const QString destinationFolder = QDir(destination.path()).canonicalPath();
        MainWindow window;
        window.show();
        auto* sourceField = Control<QLineEdit>(window, kSourceFieldName);
        auto* destinationField = Control<QLineEdit>(window, kDestinationFieldName);

        window.OpenSourceFolder(source.path() + "/a.jpg");
        window.OpenDestinationFolder(destination.path() + "/.");
        QCOMPARE(sourceField->text(), sourceFolder);
        QCOMPARE(QString::fromStdString(window.Listing().ListedFolder()), sourceFolder);
        QCOMPARE(window.Listing().Count(), 1);
        QCOMPARE(destinationField->text(), destinationFolder);

        QStringList errors;
        for (const QString& unusable : {source.path() + "/missing", source.path() + "/a.jpg/x"}) {
            WhenModal([&](QWidget* box) {
                errors << static_cast<QMessageBox*>(box)->text();
                static_cast<QMessageBox*>(box)->accept();
            });
            window.OpenDestinationFolder(unusable);
        }
        QCOMPARE(errors, (QStringList{"File not found.", "Invalid filename."}));
        QCOMPARE(destinationField->text(), destinationFolder);

        // Dropped: the first local item decides.
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(destination.path()), QUrl::fromLocalFile(source.path())});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QCOMPARE(sourceField->text(), destinationFolder);
        QCOMPARE(window.Listing().Count(), 0);

        QMimeData remote;
        remote.setUrls({QUrl("https://example.org/a.jpg")});
        QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &remote, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &refused);
        QVERIFY(!refused.isAccepted());
    }

    // What the user chose comes back in the next window: the folders, the custom sizes in
    // the order they were added, the chosen size and the mode; the folder chooser opens at
    // the folder last chosen in it. Each change is in the file at once, so a crash keeps it.
    void SettingsComeBackInTheNextWindow()
    {
        QTemporaryDir source;
        QTemporaryDir target;
        QTemporaryDir elsewhere;
        WriteText(source.filePath("a.txt"), "x");
        const QString customA = QStringLiteral("800 * 600  （自定义尺寸）");
        const QString customB = QStringLiteral("1234 * 56  （自定义尺寸）");
        const int presets = int(kPresetSizeTexts.size());
        {
            MainWindow window;
            window.show();
            ChooseFolder(window, kSourceButtonName, source.path());
            ChooseFolder(window, kDestinationButtonName, target.path());
            AddCustomSize(window, "800", "600");
            AddCustomSize(window, "1234", "56");
            Control<QComboBox>(window, kSizeListName)->setCurrentIndex(presets);
            QTest::mouseClick(Control<QRadioButton>(window, kBmpRadioName), Qt::LeftButton, {}, QPoint(7, 8));

            const QString file = QSettings(QStringLiteral("picbatch"), QStringLiteral("picbatch")).fileName();
            QVERIFY2(file.endsWith(QStringLiteral("/picbatch/picbatch.conf")), qPrintable(file));
            QFile written(file);
            QVERIFY(written.open(QIODevice::ReadOnly));
            const QByteArray text = written.readAll();
            for (const QString& expected : {Canonical(source), Canonical(target), QStringLiteral("bmp")})
                QVERIFY2(text.contains(expected.toUtf8()), text.constData());
        }

        QVERIFY(QDir::setCurrent(elsewhere.path()));
        MainWindow window;
        window.show();
        QCOMPARE(Control<QLineEdit>(window, kSourceFieldName)->text(), Canonical(source));
        QCOMPARE(Control<QLineEdit>(window, kDestinationFieldName)->text(), Canonical(target));
        QCOMPARE(ChooserStartFolder(window, kSourceButtonName), Canonical(target));
        QCOMPARE(QString::fromStdString(window.Listing().ListedFolder()), Canonical(source));
        QCOMPARE(window.Listing().Count(), 1);
        auto* sizes = Control<QComboBox>(window, kSizeListName);
        QCOMPARE(sizes->count(), presets + 2);
        QCOMPARE(sizes->itemText(presets), customA);
        QCOMPARE(sizes->itemText(presets + 1), customB);
        QCOMPARE(sizes->currentText(), customA);
        QVERIFY(Control<QRadioButton>(window, kBmpRadioName)->isChecked());
        QCOMPARE(window.SelectedOutputMode(), OutputMode::Bmp);

        // Each mode comes back, the first one too.
        for (const char* radio : {kJpegRadioName, kKeepFormatRadioName}) {
            QTest::mouseClick(Control<QRadioButton>(window, radio), Qt::LeftButton, {}, QPoint(7, 8));
            MainWindow next;
            QVERIFY(Control<QRadioButton>(next, radio)->isChecked());
        }
    }

    // A remembered folder that is gone or is no folder any more stays out: the fields stay
    // empty and the listing keeps its start folder. The chooser opens at the nearest folder
    // left of the one last chosen in it.
    void VanishedFoldersAreNotRestored()
    {
        QTemporaryDir parent;
        QTemporaryDir elsewhere;
        const QString source = parent.filePath("source");
        const QString target = parent.filePath("target");
        QVERIFY(QDir().mkpath(source) && QDir().mkpath(target));
        WriteText(elsewhere.filePath("e.txt"), "x");
        {
            MainWindow window;
            ChooseFolder(window, kSourceButtonName, source);
            ChooseFolder(window, kDestinationButtonName, target);
        }
        QVERIFY(QDir::setCurrent(parent.path()));
        QVERIFY(QDir(source).removeRecursively());
        QVERIFY(QDir(target).removeRecursively());
        WriteText(target, "now a file");

        QVERIFY(QDir::setCurrent(elsewhere.path()));
        MainWindow window;
        window.show();
        QVERIFY(Control<QLineEdit>(window, kSourceFieldName)->text().isEmpty());
        QVERIFY(Control<QLineEdit>(window, kDestinationFieldName)->text().isEmpty());
        QCOMPARE(ChooserStartFolder(window, kDestinationButtonName), Canonical(parent));
        QCOMPARE(window.Listing().Count(), 1);
        QCOMPARE(QString::fromStdString(window.Listing().ListedFolder()), Canonical(elsewhere));
    }

    // The options link opens the options dialog; OK makes its choices the run's and remembers
    // them, Cancel changes nothing, and a settings file with unknown words gives the defaults.
    void OptionsAreChosenInTheirDialogAndRemembered()
    {
        ConversionOptions chosen;
        chosen.orientation = OrientationChoice::Keep;
        chosen.metadata = MetadataChoice::KeepWithoutGps;
        {
            MainWindow window;
            window.show();
            QVERIFY(window.SelectedConversionOptions() == ConversionOptions{});
            QStringList names;
            WhenModal([&names](QWidget* dialog) {
                names = ObjectNames(*dialog);
                QVERIFY(dialog->findChild<QCheckBox*>(kUprightBoxName)->isChecked());
                QVERIFY(dialog->findChild<QRadioButton*>(kDropMetadataRadioName)->isChecked());
                dialog->findChild<QCheckBox*>(kUprightBoxName)->setChecked(false);
                dialog->findChild<QRadioButton*>(kKeepMetadataWithoutGpsRadioName)->setChecked(true);
                Click(dialog, kOkButtonName);
            });
            QTest::mouseClick(Control<QLabel>(window, kOptionsLinkName), Qt::LeftButton);
            for (const char* name : {"BitBtn1", "BitBtn2", "GroupBox1", "GroupBox2", "chkUpright", "rbExifDrop",
                                     "rbExifKeep", "rbExifKeepNoGps"})
                QVERIFY2(names.contains(QString::fromLatin1(name)), name);
            QVERIFY(window.SelectedConversionOptions() == chosen);

            WhenModal([](QWidget* dialog) {
                QVERIFY(!dialog->findChild<QCheckBox*>(kUprightBoxName)->isChecked());
                QVERIFY(dialog->findChild<QRadioButton*>(kKeepMetadataWithoutGpsRadioName)->isChecked());
                dialog->findChild<QRadioButton*>(kKeepMetadataRadioName)->setChecked(true);
                Click(dialog, kCancelButtonName);
            });
            QTest::mouseClick(Control<QLabel>(window, kOptionsLinkName), Qt::LeftButton);
            QVERIFY(window.SelectedConversionOptions() == chosen);
        }
        QVERIFY(MainWindow().SelectedConversionOptions() == chosen);

        QSettings settings(QStringLiteral("picbatch"), QStringLiteral("picbatch"));
        settings.setValue(QStringLiteral("options/orientation"), QStringLiteral("sideways"));
        settings.setValue(QStringLiteral("options/metadata"), QStringLiteral("all"));
        settings.sync();
        QVERIFY(MainWindow().SelectedConversionOptions() == ConversionOptions{});
    }

    // Every choice of the options dialog made in it, remembered, shown again by the dialog of
    // the next window and named by the options link; stored words that are unknown or out of
    // range give each choice's default.
    void EveryOptionIsRememberedAndShown()
    {
        ConversionOptions every;
        every.orientation = OrientationChoice::Keep;
        every.metadata = MetadataChoice::Keep;
        every.fit = FitMode::Pad;
        every.background.kind = Background::Kind::Transparent;
        every.shrinkOnly = true;
        every.boxFollowsOrientation = true;
        every.quality = 75;
        every.progressive = true;
        every.recursive = true;
        every.nameTemplate = "{n}-{name}";
        every.skipUpToDate = true;
        {
            MainWindow window;
            WhenModal([](QWidget* dialog) {
                dialog->findChild<QCheckBox*>(kUprightBoxName)->setChecked(false);
                dialog->findChild<QRadioButton*>(kKeepMetadataRadioName)->setChecked(true);
                dialog->findChild<QRadioButton*>(kPadRadioName)->setChecked(true);
                dialog->findChild<QAction*>(kBackgroundTransparentActionName)->trigger();
                for (const char* name : {kShrinkOnlyBoxName, kTurnBoxBoxName, kProgressiveBoxName, kRecursiveBoxName,
                                         kSkipUpToDateBoxName})
                    dialog->findChild<QCheckBox*>(name)->setChecked(true);
                dialog->findChild<QSpinBox*>(kQualityBoxName)->setValue(75);
                dialog->findChild<QLineEdit*>(kNameTemplateFieldName)->setText("{n}-{name}");
                Click(dialog, kOkButtonName);
            });
            QTest::mouseClick(Control<QLabel>(window, kOptionsLinkName), Qt::LeftButton);
            QVERIFY(window.SelectedConversionOptions() == every);
        }
        MainWindow window;
        QVERIFY(window.SelectedConversionOptions() == every);
        auto* link = Control<QLabel>(window, kOptionsLinkName);
        QCOMPARE(link->text(), QStringLiteral("选项（10）"));
        QCOMPARE(link->toolTip().split(u'\n'),
                 (QStringList{"已选的选项：", "· 不按方向标记转正", "· 保留 EXIF 信息", "· 保持比例，空白处补色（透明）",
                              "· 只缩小，不放大", "· 竖图自动交换宽高", "· JPEG 质量 75", "· 渐进式 JPEG",
                              "· 包含子文件夹", "· 输出文件名 {n}-{name}", "· 跳过已是最新的图片"}));
        // Wider for its text, from where it always starts.
        QCOMPARE(link->pos(), QPoint(372, 119));
        QVERIFY(link->width() >= link->fontMetrics().horizontalAdvance(link->text()));
        ConversionOptions shown;
        WhenModal([&shown](QWidget* dialog) {
            shown = static_cast<OptionsDialog*>(dialog)->Result();
            Click(dialog, kCancelButtonName);
        });
        QTest::mouseClick(link, Qt::LeftButton);
        QVERIFY(shown == every);

        QSettings settings(QStringLiteral("picbatch"), QStringLiteral("picbatch"));
        const std::pair<const char*, const char*> foreign[] = {
            {"options/fit", "fill"},           {"options/background", "#12345"},
            {"options/shrink-only", "yes"},    {"options/box-follows-orientation", "1"},
            {"options/quality", "101"},        {"options/progressive", "TRUE"},
            {"options/recursive", ""},         {"options/name", "{NAME}/{n}"},
            {"options/skip-up-to-date", "on"}, {"options/orientation", "apply"},
            {"options/metadata", "drop"},
        };
        for (const auto& [key, value] : foreign)
            settings.setValue(QString::fromLatin1(key), QString::fromLatin1(value));
        settings.sync();
        MainWindow restored;
        QVERIFY(restored.SelectedConversionOptions() == ConversionOptions{});
        QCOMPARE(Control<QLabel>(restored, kOptionsLinkName)->text(), QStringLiteral("选项"));
        QCOMPARE(Control<QLabel>(restored, kOptionsLinkName)->size(), QSize(40, 17));
        for (const char* quality : {"0", " 80", "8o"}) {
            settings.setValue(QStringLiteral("options/quality"), QString::fromLatin1(quality));
            settings.sync();
            QCOMPARE(WindowSettings().Options().quality, 90);
        }
    }

    // One side or a percentage from the custom size dialog: listed in words, selected, and
    // back in the next window.
    void SizesInWordsAreListedAndRemembered()
    {
        const int presets = int(kPresetSizeTexts.size());
        const QStringList words{"宽 1600，高按比例", "高 1200，宽按比例", "50%"};
        {
            MainWindow window;
            window.show();
            AddCustomSize(window, "1600", "");
            AddCustomSize(window, "", "1200");
            AddCustomSize(window, "50%", "16");
            auto* sizes = Control<QComboBox>(window, kSizeListName);
            QCOMPARE(sizes->count(), presets + 3);
            for (int i = 0; i < 3; ++i)
                QCOMPARE(sizes->itemText(presets + i), words[i]);
            QCOMPARE(sizes->currentText(), QStringLiteral("50%"));
        }
        MainWindow window;
        auto* sizes = Control<QComboBox>(window, kSizeListName);
        QCOMPARE(sizes->count(), presets + 3);
        QCOMPARE(sizes->itemText(presets + 1), words[1]);
        QCOMPARE(sizes->currentText(), QStringLiteral("50%"));
    }

    // The options dialog's choices and the size's form reach the run, and the run its
    // outputs. The window only hands the choices on: the output sizes are the core's
    // (contain: the largest size inside the box with the picture's proportions; one side or
    // a percentage: the other side by proportion, halves up).
    void ChosenOptionsAndSizeFormsReachTheRun_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<int>("fit");
        QTest::addColumn<QSize>("output");
        QTest::newRow("contain in 100 x 80") << "100" << "80" << int(FitMode::Contain) << QSize(100, 75);
        QTest::newRow("contain, tall box") << "100" << "200" << int(FitMode::Contain) << QSize(100, 75);
        QTest::newRow("width only") << "50" << "" << int(FitMode::Stretch) << QSize(50, 38);
        QTest::newRow("height only") << "" << "15" << int(FitMode::Stretch) << QSize(20, 15);
        QTest::newRow("25 percent") << "25%" << "" << int(FitMode::Stretch) << QSize(10, 8);
    }

    void ChosenOptionsAndSizeFormsReachTheRun()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(int, fit);
        QFETCH(QSize, output);
        QTemporaryDir source;
        QTemporaryDir target;
        WriteBmp(RasterFromImage(TestImage(40, 30)), source.filePath("a.bmp").toStdString());
        MainWindow window;
        window.show();
        ChooseFolder(window, kSourceButtonName, source.path());
        ChooseFolder(window, kDestinationButtonName, target.path());
        AddCustomSize(window, width, height);
        WhenModal([fit](QWidget* dialog) {
            const char* radio = fit == int(FitMode::Contain) ? kContainRadioName : kStretchRadioName;
            dialog->findChild<QRadioButton*>(radio)->setChecked(true);
            dialog->findChild<QSpinBox*>(kQualityBoxName)->setValue(80);
            Click(dialog, kOkButtonName);
        });
        QTest::mouseClick(Control<QLabel>(window, kOptionsLinkName), Qt::LeftButton);

        // A failure report (a core that cannot make this size) is read and closed.
        QString report;
        QTimer reportReader;
        connect(&reportReader, &QTimer::timeout, [&report] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                report = box->text();
                box->accept();
            }
        });
        reportReader.start(5);
        Click(&window, kStartButtonName);
        const ConversionRequest request = window.Run().Settings().request;
        QCOMPARE(int(request.options.fit), fit);
        QCOMPARE(request.options.quality, 80);
        const TargetSize size = CheckedSizeText(Control<QComboBox>(window, kSizeListName)->currentText().toStdString());
        QCOMPARE(request.form, size.form);
        QCOMPARE(QSize(request.width, request.height), QSize(size.width, size.height));
        QCOMPARE(request.percent, size.percent);
        QTRY_VERIFY_WITH_TIMEOUT(!window.Run().Running(), 10000);
        reportReader.stop();
        QVERIFY2(report.isEmpty(), qPrintable(report));

        Raster picture;
        QVERIFY(LoadPicture(target.filePath("A.bmp").toStdString(), picture));
        QCOMPARE(QSize(picture.Width(), picture.Height()), output);
    }

    // A settings file edited by hand or by another version: sizes the run would refuse are
    // left out (the others keep their order), a chosen size that is not in the list leaves
    // the first one chosen, an unknown mode leaves the first mode.
    void ForeignSettingsAreSkipped()
    {
        WindowSettings settings;
        settings.SetCustomSizes({"5 * 7  （自定义尺寸）", "abc * 5  （自定义尺寸）", "70000 * 1  （自定义尺寸）",
                                 "300 * 200  （自定义尺寸）", ""});
        settings.SetChosenSize("70000 * 1  （自定义尺寸）");
        QSettings(QStringLiteral("picbatch"), QStringLiteral("picbatch"))
            .setValue(QStringLiteral("output/mode"), QStringLiteral("gif"));

        MainWindow window;
        auto* sizes = Control<QComboBox>(window, kSizeListName);
        const int presets = int(kPresetSizeTexts.size());
        QCOMPARE(sizes->count(), presets + 2);
        QCOMPARE(sizes->itemText(presets), QStringLiteral("5 * 7  （自定义尺寸）"));
        QCOMPARE(sizes->itemText(presets + 1), QStringLiteral("300 * 200  （自定义尺寸）"));
        QCOMPARE(sizes->currentIndex(), 0);
        QVERIFY(Control<QRadioButton>(window, kKeepFormatRadioName)->isChecked());
    }

    // The run's report box saves the run's JSON Lines report and stays up; the saved report
    // has a line for each entry of the folder.
    void ReportBoxSavesTheRunsReport()
    {
        QTemporaryDir source;
        QTemporaryDir target;
        QTemporaryDir reports;
        WriteBmp(RasterFromImage(TestImage(40, 30)), source.filePath("a.bmp").toStdString());
        WriteText(source.filePath("b.txt"), "not a picture");
        WriteText(source.filePath("c.jpg"), "\xFF\xD8\xFF garbage");
        MainWindow window;
        window.show();
        ChooseFolder(window, kSourceButtonName, source.path());
        ChooseFolder(window, kDestinationButtonName, target.path());

        const QString saved = reports.filePath("run.jsonl");
        bool boxStayedUp = false;
        QString caption;
        WhenModal([&](QWidget* box) {
            auto* save = box->findChild<QPushButton*>(kSaveReportButtonName);
            QVERIFY(save);
            caption = save->text();
            // The file dialog comes up over the box: the path is typed in and accepted.
            auto* poll = new QTimer(box);
            connect(poll, &QTimer::timeout, poll, [poll, &saved] {
                if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                    poll->stop();
                    dialog->selectFile(saved);
                    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, which is protected
                }
            });
            poll->start(5);
            save->click();
            boxStayedUp = box->isVisible();
            static_cast<QMessageBox*>(box)->accept();
        });
        Click(&window, kStartButtonName);
        QTRY_VERIFY_WITH_TIMEOUT(!window.Run().Running(), 10000);
        QTRY_VERIFY(!caption.isEmpty());
        QCOMPARE(caption, QStringLiteral("保存报告…"));
        QVERIFY(boxStayedUp);

        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList lines;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                lines << QString::fromUtf8(line);
        }
        lines.sort();
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith(R"({"source":"a.bmp",)") && lines[0].contains(R"("status":"converted")"),
                 qPrintable(lines[0]));
        QVERIFY2(lines[1].contains(R"("status":"skipped")"), qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith(R"({"source":"c.jpg",)") && lines[2].contains(R"("status":"failed")"),
                 qPrintable(lines[2]));
    }

    // A whole run through the window: three pictures, a text file and a corrupt JPEG, in
    // the listing's order a.bmp, b.txt, c.JPG, d.jpg, e.bmp.
    void WholeRunThroughTheWindow()
    {
        QTemporaryDir source;
        QTemporaryDir target;
        WriteBmp(RasterFromImage(TestImage(40, 30)), source.filePath("a.bmp").toStdString());
        WriteText(source.filePath("b.txt"), "not a picture");
        WriteJpeg(source.filePath("c.JPG"), TestImage(50, 20));
        WriteText(source.filePath("d.jpg"), "\xFF\xD8\xFF garbage");
        WriteBmp(RasterFromImage(TestImage(8, 8)), source.filePath("e.bmp").toStdString());

        MainWindow window;
        window.show();
        ChooseFolder(window, kSourceButtonName, source.path());
        ChooseFolder(window, kDestinationButtonName, target.path());
        auto* sizes = Control<QComboBox>(window, kSizeListName);
        sizes->setCurrentIndex(int(kPresetSizeTexts.size()) - 1);  // "100 * 80"
        auto* bar = Control<QProgressBar>(window, kProgressBarName);
        auto* percent = Control<QLabel>(window, kProgressLabelName);
        auto* start = Control<FaceButton>(window, kStartButtonName);

        // What the window shows while the run goes on: percentages that only grow.
        std::vector<int> positions;
        QTimer observer;
        connect(&observer, &QTimer::timeout, [&] {
            if (bar->isVisible() && (positions.empty() || positions.back() != bar->value()))
                positions.push_back(bar->value());
        });
        observer.start(0);

        QString report;
        WhenModal([&](QWidget* box) {
            report = static_cast<QMessageBox*>(box)->text();
            static_cast<QMessageBox*>(box)->accept();
        });
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->maximum(), 5);
        QCOMPARE(start->toolTip(), QStringLiteral("再次点击将终止图片处理操作"));
        QCOMPARE(start->Caption(), QStringLiteral("停止"));
        QTRY_VERIFY_WITH_TIMEOUT(!window.Run().Running(), 10000);
        observer.stop();

        QVERIFY(std::is_sorted(positions.begin(), positions.end()));
        QVERIFY(bar->isHidden());
        QCOMPARE(percent->text(), QStringLiteral("完成：转换 3 张，失败 1 张"));
        QVERIFY(start->Caption().isEmpty());
        QCOMPARE(start->toolTip(), QStringLiteral("点击确定将开始处理图片"));
        QTRY_VERIFY(!report.isEmpty());
        QVERIFY2(report.contains("d.jpg"), qPrintable(report));

        QDir out(target.path());
        QCOMPARE(out.entryList(QDir::Files, QDir::Name),
                 (QStringList{"A.bmp", "C.jpg", "E.bmp"}));
        for (const char* name : {"A.bmp", "C.jpg", "E.bmp"}) {
            Raster picture;
            QVERIFY(LoadPicture(out.filePath(name).toStdString(), picture));
            QCOMPARE(picture.Width(), 100);
            QCOMPARE(picture.Height(), 80);
        }
        // The summary stays until the user changes what the next run would do.
        Control<QRadioButton>(window, kBmpRadioName)->setChecked(true);
        QVERIFY(percent->text().isEmpty());
    }

    // The run takes the output mode when a picture starts: one worker, let through one
    // picture at a time, shows that choosing jpeg after the first picture applies to the rest.
    void OutputModeChangedMidRunAppliesToLaterFiles()
    {
        QTemporaryDir source;
        QTemporaryDir target;
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
            WriteBmp(RasterFromImage(TestImage(12, 12)), source.filePath(name).toStdString());
        EntryGate gate;
        MainWindow window(nullptr, {1, [&] { gate.Pass(); }});
        const EntryGate::OpenAtScopeEnd openGate{gate};
        window.show();
        ChooseFolder(window, kSourceButtonName, source.path());
        ChooseFolder(window, kDestinationButtonName, target.path());
        Control<QComboBox>(window, kSizeListName)->setCurrentIndex(int(kPresetSizeTexts.size()) - 1);
        auto* jpegMode = Control<QRadioButton>(window, kJpegRadioName);

        Click(&window, kStartButtonName);
        gate.Allow(1);
        QTRY_VERIFY(QFile::exists(target.filePath("A.bmp")));
        QTest::mouseClick(jpegMode, Qt::LeftButton, {}, QPoint(7, 8));
        QVERIFY(jpegMode->isChecked());
        QTRY_VERIFY(window.Run().Settings().request.mode == OutputMode::Jpeg);  // passed on at a tick
        gate.Open();
        QTRY_VERIFY_WITH_TIMEOUT(!window.Run().Running(), 10000);
        QCOMPARE(QDir(target.path()).entryList(QDir::Files, QDir::Name),
                 (QStringList{"A.bmp", "B.jpg", "C.jpg"}));
    }

    void SecondClickStopsAndNextStartBeginsAgain()
    {
        QTemporaryDir source;
        QTemporaryDir target;
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
            WriteBmp(RasterFromImage(TestImage(12, 12)), source.filePath(name).toStdString());
        EntryGate gate;
        MainWindow window(nullptr, {1, [&] { gate.Pass(); }});
        const EntryGate::OpenAtScopeEnd openGate{gate};
        window.show();
        ChooseFolder(window, kSourceButtonName, source.path());
        ChooseFolder(window, kDestinationButtonName, target.path());
        auto* percent = Control<QLabel>(window, kProgressLabelName);
        auto* start = Control<FaceButton>(window, kStartButtonName);
        Click(&window, kStartButtonName);
        gate.Allow(1);
        QTRY_VERIFY(QFile::exists(target.filePath("A.bmp")));
        Click(&window, kStartButtonName);
        // Stopped at once in the window's look; the run ends at a tick.
        QVERIFY(Control<QProgressBar>(window, kProgressBarName)->isHidden());
        QVERIFY(start->Caption().isEmpty());
        gate.Open();
        QTRY_VERIFY(!window.Run().Running());
        QCOMPARE(percent->text(), QStringLiteral("已停止：转换 1 张，失败 0 张"));
        QVERIFY(!Control<QTimer>(window, kRunTimerName)->isActive());
        QCOMPARE(QDir(target.path()).entryList(QDir::Files, QDir::Name), (QStringList{"A.bmp"}));

        // The next start begins with the first entry again.
        QFile::remove(target.filePath("A.bmp"));
        Click(&window, kStartButtonName);
        QVERIFY(window.Run().Running());
        QVERIFY(percent->text().isEmpty());
        QTRY_VERIFY(!window.Run().Running());
        QCOMPARE(QDir(target.path()).entryList(QDir::Files, QDir::Name).size(), 4);
    }

    // Errors that a handler lets escape go to the error box; the window goes on.
    void EscapedErrorsShowTheErrorBox_data()
    {
        QTest::addColumn<QString>("sizeText");
        QTest::addColumn<bool>("withFolders");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad width, full stop appended")
            << "abc * 5" << true << "'abc' is not a valid integer value.";
        QTest::newRow("no source folder") << "100 * 80" << false << ErrorBoxText(QString::fromUtf8("请先选择源文件夹"));
    }

    void EscapedErrorsShowTheErrorBox()
    {
        QFETCH(QString, sizeText);
        QFETCH(bool, withFolders);
        QFETCH(QString, message);
        QTemporaryDir folder;
        MainWindow window;
        window.show();
        if (withFolders) {
            ChooseFolder(window, kSourceButtonName, folder.path());
            ChooseFolder(window, kDestinationButtonName, folder.path());
        }
        auto* sizes = Control<QComboBox>(window, kSizeListName);
        sizes->addItem(sizeText);
        sizes->setCurrentIndex(sizes->count() - 1);

        QString caption;
        QString text;
        std::optional<QMessageBox::Icon> icon;
        QString buttonText;
        WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            if (!box->buttons().isEmpty())
                buttonText = box->buttons().front()->text();
            box->accept();
        });
        Click(&window, kStartButtonName);
        QCOMPARE(caption, ApplicationTitle());
        QCOMPARE(text, message);
        QCOMPARE(icon, std::optional(QMessageBox::Critical));
        QCOMPARE(buttonText, QString::fromUtf8("确定"));  // Qt's own texts are Chinese too
        QVERIFY(!window.Run().Running());
        QVERIFY(window.isVisible());
    }

    // The application object catches what any handler lets escape, outside the main window's
    // own handlers too, shows it in the error box (exhausted memory in the core's words), and
    // the event loop goes on.
    void ErrorsFromAnyHandlerReachTheErrorBox()
    {
        FailingHandler handler;
        QStringList seen;
        for (int i = 0; i < 2; ++i) {
            WhenModal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box);
                seen << box->windowTitle() + "|" + box->text();
                box->accept();
            });
            QCoreApplication::postEvent(&handler, new QEvent(static_cast<QEvent::Type>(QEvent::User + i)));
            QTRY_COMPARE(seen.size(), i + 1);
        }
        QCOMPARE(seen, (QStringList{ApplicationTitle() + "|Stream read error.",
                                    ApplicationTitle() + "|Out of system resources."}));
    }

    void ClosingDuringARunClosesTheWindow()
    {
        QTemporaryDir source;
        QTemporaryDir target;
        for (int i = 0; i < 20; ++i)
            WriteBmp(RasterFromImage(TestImage(64, 48)), source.filePath(QString("f%1.bmp").arg(i, 2, 10, QChar('0'))).toStdString());
        EntryGate gate;
        MainWindow window(nullptr, {1, [&] { gate.Pass(); }});
        const EntryGate::OpenAtScopeEnd openGate{gate};
        window.show();
        ChooseFolder(window, kSourceButtonName, source.path());
        ChooseFolder(window, kDestinationButtonName, target.path());
        Click(&window, kStartButtonName);
        gate.Allow(2);
        QTRY_VERIFY(QFile::exists(target.filePath("F01.bmp")));
        gate.Open();
        QVERIFY(window.close());  // returns once the pictures being converted are done
        QVERIFY(!window.isVisible());
        QVERIFY(!window.Run().Running());
        QVERIFY(!Control<QTimer>(window, kRunTimerName)->isActive());
        // Nothing half-written: every file there is a whole picture.
        for (const QString& name : QDir(target.path()).entryList(QDir::Files)) {
            Raster picture;
            QVERIFY(LoadPicture(target.filePath(name).toStdString(), picture));
            QCOMPARE(picture.Width(), 778);
        }
    }

    // Raster rows are stored bottom-up; the conversions must still keep row 0 on top.
    void RasterConversionKeepsOrientationAndColours()
    {
        QImage image(3, 2, QImage::Format_RGB32);
        image.setPixel(0, 0, qRgb(255, 0, 0));
        image.setPixel(1, 0, qRgb(0, 255, 0));
        image.setPixel(2, 0, qRgb(0, 0, 255));
        image.setPixel(0, 1, qRgb(1, 2, 3));
        image.setPixel(1, 1, qRgb(250, 251, 252));
        image.setPixel(2, 1, qRgb(9, 99, 199));

        const Raster raster = RasterFromImage(image);
        QCOMPARE(raster.Width(), 3);
        QCOMPARE(raster.Height(), 2);
        std::uint8_t bgr[3];
        raster.PixelBgr(0, 0, bgr);
        QCOMPARE((std::vector<int>{bgr[0], bgr[1], bgr[2]}), (std::vector<int>{0, 0, 255}));
        raster.PixelBgr(2, 1, bgr);
        QCOMPARE((std::vector<int>{bgr[0], bgr[1], bgr[2]}), (std::vector<int>{199, 99, 9}));

        const QImage back = ImageFromRaster(raster);
        QCOMPARE(back.convertToFormat(QImage::Format_RGB32), image);
        QVERIFY(ImageFromRaster(Raster()).isNull());
        QVERIFY(RasterFromImage(QImage()).Empty());
    }

    // The three link areas open the bundled help page as a local file.
    void LinksOpenTheHelpPage()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "Open");
        MainWindow window;
        window.show();
        for (const char* name : {kHelpLinkName, kHelpCaptionName, kArtworkName}) {
            auto* label = Control<QLabel>(window, name);
            QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
        }
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(catcher.urls.size(), std::size_t(3));
        QVERIFY(catcher.urls[0].isLocalFile());
        QFile page(catcher.urls[0].toLocalFile());
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
        QVERIFY(html.contains(QStringLiteral("处理失败的图片")));
    }
};

}  // namespace picbatch

using namespace picbatch;

// The window program's own application object, so that its error handling is under test.
int main(int argc, char** argv)
{
    // The windows' settings go to a scratch folder, never to the user's own file.
    QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, settingsFolder.filePath("system"));
    QStandardPaths::setTestModeEnabled(true);
    PicbatchApplication application(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
