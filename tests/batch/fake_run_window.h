// A window for the batch run that records what the run does to it, so runs are driven
// headless.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "batch/batch_run.h"

namespace picbatch {

class FakeWindow : public RunWindow {
public:
    std::string sizeText = "4 * 3";
    std::string sourceFolder;
    std::string destinationFolder;
    OutputMode mode = OutputMode::KeepFormat;
    ConversionOptions options;

    bool timerEnabled = false;
    int progressMaximum = -1;
    int progressPosition = -1;
    bool progressVisible = false;
    std::vector<std::string> progressTexts;
    std::string startHint = kHintStart;
    bool running = false;
    std::vector<std::string> summaries;
    std::vector<std::string> reports;

    std::string SelectedSizeText() override { return sizeText; }
    std::string SourceFolderText() override { return sourceFolder; }
    std::string DestinationFolderText() override { return destinationFolder; }
    OutputMode SelectedOutputMode() override { return mode; }
    ConversionOptions SelectedConversionOptions() override { return options; }
    void SetTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void SetProgressMaximum(int maximum) override { progressMaximum = maximum; }
    void SetProgressPosition(int position) override { progressPosition = position; }
    void SetProgressVisible(bool visible) override { progressVisible = visible; }
    void SetProgressText(const std::string& text) override { progressTexts.push_back(text); }
    void SetStartHint(const std::string& hint) override { startHint = hint; }
    void SetRunning(bool isRunning) override { running = isRunning; }
    void TickSoon() override {}  // the tests tick themselves
    void RunEnded(const std::string& summary) override { summaries.push_back(summary); }
    void ShowFailureReport(const std::string& text) override { reports.push_back(text); }
};

// Lets a run's workers take entries only as the test allows: RunEngine's beforeTaking.
class EntryGate {
public:
    // Opens the gate when it ends: declared after the run's owner, it lets blocked workers
    // go before the run joins them, also when a test fails half-way.
    struct OpenAtScopeEnd {
        EntryGate& gate;
        ~OpenAtScopeEnd() { gate.Open(); }
    };

    // Lets count more entries be taken.
    void Allow(int count)
    {
        const std::lock_guard lock(m_mutex);
        m_allowed += count;
        m_changed.notify_all();
    }
    // Lets every entry be taken from now on.
    void Open()
    {
        const std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void Pass()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_open || m_allowed > 0; });
        if (!m_open)
            --m_allowed;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_allowed = 0;
    bool m_open = false;
};

}  // namespace picbatch
