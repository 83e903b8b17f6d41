// The batch run: start, stop, and the tick that converts one listing entry.
#include "batch/batch_run.h"

#include <exception>
#include <new>
#include <optional>

#include "batch/convert_picture.h"
#include "batch/entry_paths.h"
#include "batch/size_check.h"
#include "batch/source_listing.h"
#include "batch/target_size.h"
#include "imaging/error.h"

namespace picbatch {

std::string ProgressText(std::int64_t n, std::int64_t count)
{
    // 64-bit: n * 100 overflows 32 bits from 21,474,837 entries on.
    return std::to_string(n * 100 / count) + "%    ";
}

BatchRun::BatchRun(RunWindow& window, SourceListing& listing)
    : m_window(window), m_listing(listing)
{
}

void BatchRun::Toggle()
{
    if (m_running)
        Stop();
    else
        Start();
}

void BatchRun::Start()
{
    // Everything that can refuse the start comes before the first change of state.
    const SizeTexts texts = SplitSizeText(m_window.SelectedSizeText());
    const TargetSize size = CheckedTargetSize(texts);
    if (m_window.SourceFolderText().empty())
        throw Error(kNoSourceFolder);
    if (m_window.DestinationFolderText().empty())
        throw Error(kNoDestinationFolder);
    const int count = m_listing.Count();

    // Stopped and started again inside one tick: the stopped run still gets its report.
    if (m_reportDue)
        ShowReport();
    m_entryNumber = 1;
    m_widthText = texts.width;
    m_heightText = texts.height;
    m_width = size.width;
    m_height = size.height;
    m_failures.clear();
    m_warnings.clear();
    m_claims.Clear();
    m_sourcesCount = -1;
    ++m_starts;

    m_running = true;
    m_window.SetTimerEnabled(true);
    m_window.SetProgressMaximum(count);
    m_window.SetStartHint(kHintStop);
    m_window.SetProgressVisible(true);
}

void BatchRun::Stop()
{
    m_entryNumber = 1;
    Finish();
}

void BatchRun::Finish()
{
    m_running = false;
    m_window.SetTimerEnabled(false);
    m_window.SetProgressText("");
    m_window.SetProgressVisible(false);
    m_window.SetStartHint(kHintStart);
    // Inside a tick the current entry is still handled; its failure belongs in the report.
    if (m_inTick)
        m_reportDue = true;
    else
        ShowReport();
}

void BatchRun::ShowReport()
{
    m_reportDue = false;
    if (!m_failures.empty() || !m_warnings.empty())
        m_window.ShowFailureReport(RunReportText(m_failures, m_warnings));
}

void BatchRun::Tick()
{
    // A timer event delivered while the events of a tick are handled must not nest a tick.
    if (!m_running || m_inTick)
        return;
    m_inTick = true;
    struct TickEnd {
        bool& inTick;
        ~TickEnd() { inTick = false; }
    } tickEnd{m_inTick};

    const std::uint64_t starts = m_starts;
    const int count = m_listing.Count();
    const int n = m_entryNumber;
    if (n > count) {
        Finish();
    } else {
        if (m_closeRequested) {
            // Closing ends the run; the tick still handles its entry, as a stop would.
            m_running = false;
            m_window.SetTimerEnabled(false);
            m_window.CloseWindow();
        }
        const std::string entry = m_listing.EntryAt(n - 1);
        m_window.SetProgressPosition(n);
        m_window.SetProgressText(ProgressText(n, count));
        m_window.ProcessPendingEvents();
        m_window.Sleep(10);
        if (IsPictureEntry(entry))
            ConvertListed(entry);
    }
    // A run started again during this tick's events begins at its own entry 1.
    if (m_starts == starts)
        ++m_entryNumber;

    m_inTick = false;
    if (m_reportDue)
        ShowReport();
}

void BatchRun::ConvertListed(const std::string& entry)
{
    // Every failure is recorded and the entry skipped: an error escaping the tick would leave
    // the entry number where it is and fail the same entry at every tick.
    const EntryLocation location{m_window.SourceFolderText(), m_window.DestinationFolderText(), entry};
    // One picture at a time: a second core, if there is one, takes the rows as they are decoded.
    const ConversionTarget target{m_width, m_height, m_window.SelectedOutputMode(), ThreadsPerConversion(1)};
    ConversionNotes notes;
    const std::optional<std::string> failure = EntryFailureOf([&] {
        // The listing can be replaced during a run: its files are what no output may replace.
        if (!location.sourceFolder.empty())
            RegisterSources(location.sourceFolder, m_listing.Count());
        notes = ConvertEntry(location, target, m_claims, m_workingPicture);
    });
    if (failure)
        m_failures.push_back({entry, *failure});
    else if (const std::optional<std::string> warning = WarningOf(notes))
        m_warnings.push_back({entry, *warning});
}

void BatchRun::RegisterSources(const std::string& sourceFolder, int count)
{
    // The listing can be replaced during a run; register its files again only then.
    if (sourceFolder == m_sourcesFolder && m_listing.ListedFolder() == m_sourcesListed && count == m_sourcesCount)
        return;
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        entries.push_back(m_listing.EntryAt(i));
    m_claims.SetSources(sourceFolder, entries);
    m_sourcesFolder = sourceFolder;
    m_sourcesListed = m_listing.ListedFolder();
    m_sourcesCount = count;
}

}  // namespace picbatch
