// MainWindow: the main window. Its controls sit on a background artwork that draws their
// labels and button faces; it drives the batch run through the RunWindow interface.
#pragma once

#include <QWidget>

#include <optional>

#include "app/help_page.h"
#include "app/window_settings.h"
#include "batch/batch_run.h"
#include "batch/source_listing.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QTimer;

namespace picbatch {

class ClickLabel;
class FaceButton;

class MainWindow : public QWidget, public RunWindow {
    Q_OBJECT
public:
    // Builds the window, its controls and the artwork (decoded from the bundled JPEG);
    // throws Error when the artwork cannot be decoded. The process's current folder now
    // becomes the source listing's start folder. Then restores the remembered settings (see
    // RestoreSettings). runOptions: the run's workers (tests step them).
    explicit MainWindow(QWidget* parent = nullptr, BatchRun::Options runOptions = {});
    ~MainWindow() override;

    const BatchRun& Run() const { return m_run; }

    // The folder path names (a picture: its folder) becomes the source or the destination,
    // as if chosen in the folder chooser: the process's current folder moves there, and a
    // path that is not a usable folder is reported in the error box and changes nothing.
    // For the command line and for folders dropped on the window.
    void OpenSourceFolder(const QString& path);
    void OpenDestinationFolder(const QString& path);
    // The source listing the run walks; it lives as long as the window.
    SourceListing& Listing() { return m_listing; }

    // RunWindow
    std::string SelectedSizeText() override;
    std::string SourceFolderText() override;
    std::string DestinationFolderText() override;
    OutputMode SelectedOutputMode() override;
    ConversionOptions SelectedConversionOptions() override;
    void SetTimerEnabled(bool enabled) override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressPosition(int position) override;
    void SetProgressVisible(bool visible) override;
    void SetProgressText(const std::string& text) override;
    void SetStartHint(const std::string& hint) override;
    void SetRunning(bool running) override;
    void TickSoon() override;
    void RunEnded(const std::string& summary) override;
    void ShowFailureReport(const std::string& text) override;

signals:
    // Emitted by TickSoon on a worker thread; received, queued, on the window's thread.
    void RunNeedsTick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // A folder, or a picture meaning its folder, dropped on the window becomes the source.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    void SelectFirstSize();
    // The custom sizes (those the run accepts), the chosen size and output mode, and the
    // folders that still are folders, as the last session left them; a source folder that
    // cannot be listed is left out without a message. The process's current folder, where
    // the next folder chooser opens, moves to the folder last chosen in one, or else to the
    // nearest of its ancestors that can be entered.
    void RestoreSettings();
    // From now on every change of the size or the mode is remembered.
    void RememberChanges();
    // The custom sizes in the size list, in order.
    QStringList CustomSizeTexts() const;
    // The folder chosen with OK in the folder chooser; nothing when it was left another way
    // (Cancel, Esc, the close box).
    std::optional<QString> ChooseFolder();
    // The source folder from the folder chooser; the listing takes it, or the field keeps
    // the folder the listing still holds when the listing cannot take it. A cancelled
    // chooser changes neither field nor listing.
    void ChooseSourceFolder();
    void ChooseDestinationFolder();
    // Shows folder in the field; the source listing takes it, or the field goes back to
    // the folder the listing still holds.
    void SetSourceFolder(const QString& folder);
    void SetDestinationFolder(const QString& folder);
    // A size from the custom size dialog, appended to the size list and selected.
    void AddCustomSize();
    // The options dialog; OK makes its choices the options of the pictures not taken yet,
    // and remembers them.
    void ChooseOptions();
    // The options link names how many choices differ from the defaults ("选项（3）") and its
    // tooltip lists them; plain "选项" for the defaults.
    void ShowActiveOptions();
    void ToggleRun();
    void AdvanceRun();
    // The window is closing: a run ends at its next tick. Closing is never refused.
    void PrepareToClose();
    void OpenHelp();
    void SetBusy(bool busy);
    // Runs a handler; an error it lets escape is shown in the error box and the event
    // loop goes on.
    template <class Handler>
    void Guarded(Handler&& handler);

    // Before the run, which keeps a reference to it. Made with the window, so the listing
    // starts at the process's current folder of that time.
    SourceListing m_listing;
    BatchRun m_run;
    HelpPage m_help;
    WindowSettings m_settings;

    ClickLabel* m_artwork = nullptr;
    FaceButton* m_sourceButton = nullptr;
    FaceButton* m_destinationButton = nullptr;
    FaceButton* m_customSizeButton = nullptr;
    FaceButton* m_startButton = nullptr;
    QLineEdit* m_sourceField = nullptr;
    QLineEdit* m_destinationField = nullptr;
    QComboBox* m_sizeList = nullptr;
    QRadioButton* m_keepFormatRadio = nullptr;
    QRadioButton* m_jpegRadio = nullptr;
    QRadioButton* m_bmpRadio = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_progressLabel = nullptr;
    ClickLabel* m_helpLink = nullptr;
    ClickLabel* m_helpCaption = nullptr;
    ClickLabel* m_optionsLink = nullptr;
    ConversionOptions m_options;  // the options dialog's choices, as remembered
    QTimer* m_runTimer = nullptr;
    bool m_busyCursor = false;
    bool m_centred = false;
};

}  // namespace picbatch
