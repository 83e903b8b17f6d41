// The window's batch run: the start button starts it on worker threads (run_engine.h) and
// stops it; the window's timer only shows how far it has come, passes on the settings the
// user changes and ends it. Talks to its window only through RunWindow, so tests drive it
// headless.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "batch/entry_conversion.h"
#include "batch/json_report.h"
#include "batch/run_engine.h"
#include "batch/run_report.h"
#include "pictures/save_picture.h"

namespace picbatch {

class SourceListing;

// What the run reads from and does to its window.
class RunWindow {
public:
    virtual ~RunWindow() = default;

    virtual std::string SelectedSizeText() = 0;        // cmbSize's selected text
    virtual std::string SourceFolderText() = 0;        // txtPath1
    virtual std::string DestinationFolderText() = 0;   // txtPath2
    virtual OutputMode SelectedOutputMode() = 0;       // r1, r2, r3
    // The options dialog's choices, as remembered; a window without them converts as by default.
    virtual ConversionOptions SelectedConversionOptions() { return {}; }

    virtual void SetTimerEnabled(bool enabled) = 0;    // Timer1, 80 ms: paces the display
    virtual void SetProgressMaximum(int maximum) = 0;  // ProgressBar1
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetProgressVisible(bool visible) = 0;
    virtual void SetProgressText(const std::string& text) = 0;  // lblProc: percentage, summary
    virtual void SetStartHint(const std::string& hint) = 0;     // SpeedButton3's tooltip
    virtual void SetRunning(bool running) = 0;                  // SpeedButton3's face
    // Called from a worker thread when the run's last picture is done: the window should call
    // Tick on its own thread soon, instead of at the timer's next tick.
    virtual void TickSoon() = 0;
    // A run ended with this summary (also shown as the progress text): the window program
    // writes it to its standard output too, where scripts and logs find it.
    virtual void RunEnded(const std::string& summary) = 0;
    // The report of a run that finished or was stopped (RunReportText); called only when
    // some entries failed or have warnings.
    virtual void ShowFailureReport(const std::string& text) = 0;
};

inline constexpr const char* kHintStart = "点击确定将开始处理图片";
inline constexpr const char* kHintStop = "再次点击将终止图片处理操作";

// What a run that found no picture leaves in the window, naming every format the program
// reads: "源文件夹中没有 BMP、JPEG、PNG 或 WebP 图片".
std::string NoPicturesText();

// The progress text of n done of count (count >= 1): n * 100 / count, "%" and four blanks.
std::string ProgressText(std::int64_t n, std::int64_t count);

// What a run that ended leaves in the window: "完成：转换 3 张，失败 1 张" (then "，已是最新 5 张"
// when some were left up to date, and "，警告 1 张" when some have warnings), "已停止：…", or
// NoPicturesText() when the listing held no picture.
std::string RunSummaryText(bool stopped, std::size_t pictures, std::size_t failures, std::size_t warnings = 0,
                           std::size_t upToDate = 0);

class BatchRun {
public:
    struct Options {
        int workers = 0;  // 0: as many as picbatch-cli takes, one per processor core
        std::function<void()> beforeTaking;  // tests: called before each entry is taken
    };

    BatchRun(RunWindow& window, SourceListing& listing);
    BatchRun(RunWindow& window, SourceListing& listing, Options options);
    // A run still going on ends: no picture starts, those being converted finish.
    ~BatchRun();

    // The start button: starts a stopped run (throws Error, not starting, when the size, a
    // folder text or the name template is unusable), stops a running one: no picture starts any more, the
    // pictures being converted finish and the run then ends at a tick.
    void Toggle();
    // One timer tick: shows the entries done, passes a changed destination, output mode or
    // source listing on to the pictures not started yet, and ends a run whose pictures are
    // all done. Does nothing while stopped, or when called again from the window's events
    // inside a tick (a modal report).
    void Tick();
    // The window is closing: the run ends now, without a report. Closing is never refused.
    void RequestClose();
    // Forgets the summary of the last run (the window shows something new).
    void ClearSummary();

    // From the start until the run's end is shown (a stopped run until its pictures are done).
    bool Running() const { return m_engine != nullptr; }
    bool Stopping() const { return m_stopping; }
    // The failures of the last run that ended, in listing order.
    const std::vector<EntryFailure>& Failures() const { return m_failures; }
    // The entries of the last run that ended converted with a warning, and its text, in
    // listing order.
    const std::vector<EntryFailure>& Warnings() const { return m_warnings; }
    const std::string& Summary() const { return m_summary; }
    // The folders, size, output mode and options the run takes for pictures not started yet.
    const RunSettings& Settings() const { return m_settings; }
    // Writes the JSON Lines report of the last run (json_report.h: every entry done, as it
    // was done) to path, replacing the file there once complete. Throws Error: the saving's
    // ("Cannot create file …"); "无法保存报告：<cause>" when the run's report could not be
    // made, "没有可保存的报告" before any run; "报告不完整：<cause>" when not all of it could
    // be written, after saving what it has.
    void SaveReport(const std::string& path) const;
    // Blocks until the run's workers are done (all entries, or stopped and finished): for
    // tests, which then Tick to see the end.
    void WaitForWorkers() const;
    // Blocks until at least count entries are done.
    void WaitForEntries(std::size_t count) const;

private:
    void Start();
    void Stop();
    void Finish();
    void CollectOutcomes();
    // The window's settings, for pictures of the size (form, sides, percentage) of size; its
    // output mode and options are not read.
    RunSettings CurrentSettings(const ConversionRequest& size);
    void PassOnChanges();

    RunWindow& m_window;
    SourceListing& m_listing;
    Options m_options;
    // The run's report, in an unnamed temporary file; made before the engine that writes
    // it, so the engine's workers end first. Nothing when it could not be made, and why.
    std::unique_ptr<JsonReport> m_report;
    std::string m_reportFailure;
    std::unique_ptr<RunEngine> m_engine;
    int m_count = 0;                  // listing entries at start: the progress bar's maximum
    std::size_t m_pictures = 0;       // picture entries done
    std::size_t m_upToDate = 0;       // of them, left as they were
    bool m_recursive = false;         // the run walks the source's subfolders: counted by the engine
    bool m_stopping = false;
    bool m_inTick = false;
    RunSettings m_settings;           // as last passed on to the engine
    std::string m_listedFolder;       // the listing the engine walks
    std::vector<EntryOutcome> m_outcomes;  // those with a failure or a warning
    std::vector<EntryFailure> m_failures;
    std::vector<EntryFailure> m_warnings;
    std::string m_summary;
};

}  // namespace picbatch
