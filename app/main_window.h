// TfrmMain: the main window. Its controls sit on a background artwork that draws their
// labels and button faces; it drives the batch run through the RunWindow interface.
#pragma once

#include <QWidget>

#include "app/help_page.h"
#include "batch/batch_run.h"

class ClickLabel;
class FaceButton;
class ListingHolder;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QTimer;

class TfrmMain : public QWidget, public RunWindow {
    Q_OBJECT
public:
    // Builds the window, its controls and the artwork (decoded from the bundled JPEG);
    // throws Error when the artwork cannot be decoded. The process's current folder now
    // becomes the source listing's start folder.
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    const BatchRun& Run() const { return m_run; }

    // RunWindow
    std::string SelectedSizeText() override;
    std::string SourceFolderText() override;
    std::string DestinationFolderText() override;
    OutputMode SelectedOutputMode() override;
    void SetTimerEnabled(bool enabled) override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressPosition(int position) override;
    void SetProgressVisible(bool visible) override;
    void SetProgressText(const std::string& text) override;
    void SetStartHint(const std::string& hint) override;
    void ProcessPendingEvents() override;
    void Sleep(int milliseconds) override;
    void CloseWindow() override;
    void ShowFailureReport(const std::string& text) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void FormCreate();
    void btn1Click();
    void btn2Click();
    void SpeedButton1Click();
    void SpeedButton3Click();
    void Timer1Timer();
    void FormCloseQuery();
    void lblLinkClick();
    void Image1Click();
    void lblwenloClick();
    void SetBusy(bool busy);
    // Runs a handler; an error it lets escape is shown in the error box and the event
    // loop goes on.
    template <class Handler>
    void Guarded(Handler&& handler);

    ListingHolder* m_fList;  // first: the run below keeps a reference to its listing
    BatchRun m_run;
    HelpPage m_help;

    ClickLabel* m_image1 = nullptr;
    FaceButton* m_btn1 = nullptr;
    FaceButton* m_btn2 = nullptr;
    FaceButton* m_speedButton1 = nullptr;
    FaceButton* m_speedButton3 = nullptr;
    QLineEdit* m_txtPath1 = nullptr;
    QLineEdit* m_txtPath2 = nullptr;
    QComboBox* m_cmbSize = nullptr;
    QRadioButton* m_r1 = nullptr;
    QRadioButton* m_r2 = nullptr;
    QRadioButton* m_r3 = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
    QLabel* m_lblProc = nullptr;
    ClickLabel* m_lblLink = nullptr;
    ClickLabel* m_lblwenlo = nullptr;
    QTimer* m_timer1 = nullptr;
    bool m_busyCursor = false;
    bool m_centred = false;
};
