// The batch run: one listing entry per timer tick, loaded, resampled to the target size
// and saved into the destination folder. Driven by Toggle and Tick from the window's
// thread; talks to its window only through RunWindow, so tests drive it headless.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/entry_conversion.h"
#include "batch/output_claims.h"
#include "batch/run_report.h"
#include "imaging/raster.h"
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

    virtual void SetTimerEnabled(bool enabled) = 0;    // Timer1, 80 ms
    virtual void SetProgressMaximum(int maximum) = 0;  // ProgressBar1
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetProgressVisible(bool visible) = 0;
    virtual void SetProgressText(const std::string& text) = 0;  // lblProc
    virtual void SetStartHint(const std::string& hint) = 0;     // SpeedButton3's tooltip
    virtual void ProcessPendingEvents() = 0;
    virtual void Sleep(int milliseconds) = 0;
    virtual void CloseWindow() = 0;
    // The report of a run that finished or was stopped (RunReportText); called only when
    // some entries failed or have warnings.
    virtual void ShowFailureReport(const std::string& text) = 0;
};

inline constexpr const char* kHintStart = "点击确定将开始处理图片";
inline constexpr const char* kHintStop = "再次点击将终止图片处理操作";

// The progress text of entry n of count (count >= 1): n * 100 / count, "%" and four blanks.
std::string ProgressText(std::int64_t n, std::int64_t count);

class BatchRun {
public:
    BatchRun(RunWindow& window, SourceListing& listing);

    // The start button: starts a stopped run (throws Error, not starting, when the size or
    // a folder text is unusable), stops a running one.
    void Toggle();
    // One timer tick: handles one entry, recording its failure if any. Does nothing while
    // stopped, or when called again from the window's events inside a tick.
    void Tick();
    // The window's close query: never refuses.
    void RequestClose() { m_closeRequested = true; }

    bool Running() const { return m_running; }
    int EntryNumber() const { return m_entryNumber; }
    const std::vector<EntryFailure>& Failures() const { return m_failures; }
    // The entries converted with a warning, and its text.
    const std::vector<EntryFailure>& Warnings() const { return m_warnings; }

private:
    void Start();
    void Stop();
    void Finish();
    void ShowReport();
    void ConvertListed(const std::string& entry);
    void RegisterSources(const std::string& sourceFolder, int count);

    RunWindow& m_window;
    SourceListing& m_listing;
    int m_entryNumber = 1;
    std::string m_widthText;
    std::string m_heightText;
    int m_width = 0;
    int m_height = 0;
    bool m_closeRequested = false;
    bool m_running = false;
    Raster m_workingPicture;
    std::vector<EntryFailure> m_failures;
    std::vector<EntryFailure> m_warnings;
    OutputClaims m_claims;
    // The listing whose sources m_claims holds: source folder text, listed folder, count.
    std::string m_sourcesFolder;
    std::string m_sourcesListed;
    int m_sourcesCount = -1;
    bool m_inTick = false;
    bool m_reportDue = false;     // a stop inside a tick shows its report when the tick ends
    std::uint64_t m_starts = 0;   // number of starts, to see a restart inside a tick
};

}  // namespace picbatch
