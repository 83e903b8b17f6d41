// A window for the batch run that records what the run does to it, so runs are driven
// headless.
#pragma once

#include <functional>
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
    std::function<void()> onEvents;  // what the "user" does while a tick handles events

    bool timerEnabled = false;
    int progressMaximum = -1;
    int progressPosition = -1;
    bool progressVisible = false;
    std::vector<std::string> progressTexts;
    std::string startHint = kHintStart;
    int sleptMilliseconds = 0;
    bool closed = false;
    std::vector<std::string> reports;

    std::string SelectedSizeText() override { return sizeText; }
    std::string SourceFolderText() override { return sourceFolder; }
    std::string DestinationFolderText() override { return destinationFolder; }
    OutputMode SelectedOutputMode() override { return mode; }
    void SetTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void SetProgressMaximum(int maximum) override { progressMaximum = maximum; }
    void SetProgressPosition(int position) override { progressPosition = position; }
    void SetProgressVisible(bool visible) override { progressVisible = visible; }
    void SetProgressText(const std::string& text) override { progressTexts.push_back(text); }
    void SetStartHint(const std::string& hint) override { startHint = hint; }
    void ProcessPendingEvents() override
    {
        if (onEvents)
            onEvents();
    }
    void Sleep(int milliseconds) override { sleptMilliseconds += milliseconds; }
    void CloseWindow() override { closed = true; }
    void ShowFailureReport(const std::string& text) override { reports.push_back(text); }
};

}  // namespace picbatch
