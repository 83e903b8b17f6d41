// The window's run: start, stop, and the tick that shows it and ends it.
#include "batch/batch_run.h"

#include <algorithm>
#include <cstdint>
#include <thread>
#include <utility>

#include "batch/folder_tree.h"
#include "batch/name_template.h"
#include "batch/passed_over_text.h"
#include "batch/report_line.h"
#include "batch/size_check.h"
#include "batch/source_listing.h"
#include "batch/target_size.h"
#include "imaging/error.h"
#include "pictures/picture_format.h"

namespace picbatch {

namespace {

int DefaultWorkers()
{
    const auto cores = static_cast<int>(std::thread::hardware_concurrency());
    return cores > 0 ? cores : 1;
}

}  // namespace

std::string ProgressText(std::int64_t n, std::int64_t count)
{
    // 64-bit: n * 100 overflows 32 bits from 21,474,837 entries on.
    return std::to_string(n * 100 / count) + "%    ";
}

std::string NoPicturesText()
{
    return "源文件夹中没有 " + FormatNameList("、", " 或 ") + " 图片";
}

std::string RunSummaryText(bool stopped, std::size_t pictures, std::size_t failures, std::size_t warnings,
                           std::size_t upToDate)
{
    if (pictures == 0 && !stopped)
        return NoPicturesText();
    std::string text = std::string(stopped ? "已停止" : "完成") + "：转换 "
        + std::to_string(pictures - failures - upToDate) + " 张，失败 " + std::to_string(failures) + " 张";
    if (upToDate > 0)
        text += "，已是最新 " + std::to_string(upToDate) + " 张";
    if (warnings > 0)
        text += "，警告 " + std::to_string(warnings) + " 张";
    return text;
}

BatchRun::BatchRun(RunWindow& window, SourceListing& listing) : BatchRun(window, listing, Options{}) {}

BatchRun::BatchRun(RunWindow& window, SourceListing& listing, Options options)
    : m_window(window), m_listing(listing), m_options(std::move(options))
{
}

BatchRun::~BatchRun() = default;

void BatchRun::Toggle()
{
    if (m_engine && !m_stopping)
        Stop();
    else
        Start();
}

void BatchRun::Start()
{
    // Everything that can refuse the start comes before the first change of state.
    const TargetSize size = CheckedSizeText(m_window.SelectedSizeText());
    ConversionRequest sized;
    sized.form = size.form;
    sized.width = size.width;
    sized.height = size.height;
    sized.percent = size.percent;
    const RunSettings settings = CurrentSettings(sized);
    if (settings.sourceFolder.empty())
        throw Error(kNoSourceFolder);
    if (settings.destinationFolder.empty())
        throw Error(kNoDestinationFolder);
    const ConversionOptions& options = settings.request.options;
    if (!IsUsableNameTemplate(options.nameTemplate))
        throw Error(UnusableNameTemplateMessage(options.nameTemplate));
    // Through subfolders the tree is walked as the run goes, not listed ahead.
    std::vector<std::string> entries;
    if (!options.recursive)
        entries = m_listing.Entries();

    // A stopped run whose last pictures are still being converted ends first, with its report.
    if (m_engine) {
        m_engine->Wait();
        Finish();
    }
    m_recursive = options.recursive;
    m_count = static_cast<int>(entries.size());
    m_pictures = 0;
    m_upToDate = 0;
    m_stopping = false;
    m_outcomes.clear();
    m_failures.clear();
    m_warnings.clear();
    m_summary.clear();
    m_settings = settings;
    m_listedFolder = m_listing.ListedFolder();
    m_report.reset();
    m_reportFailure.clear();
    try {
        m_report = JsonReport::Temporary();
    } catch (const Error& error) {
        // The run goes on without it; only saving the report then fails, saying why.
        m_reportFailure = error.what();
    }

    const int workers = m_options.workers > 0 ? m_options.workers : DefaultWorkers();
    RunEngine::Options engine;
    engine.workers = workers;
    engine.threadsPerPicture = ThreadsPerConversion(workers);
    engine.beforeTaking = m_options.beforeTaking;
    engine.finished = [this] { m_window.TickSoon(); };
    if (JsonReport* report = m_report.get()) {
        engine.entryDone = [report](const EntryOutcome& outcome) { report->Add(ReportLineOf(outcome)); };
        engine.entriesPassedOver = [report](const std::vector<std::string>& passedOver) {
            report->AddSkipped(passedOver, kNotAPictureCause);
        };
        engine.passedOver = [report](const ListedEntry& entry) {
            report->Add(SkippedLine(entry.path, PassedOverReasonText(entry.reason)));
        };
    }
    if (m_recursive) {
        engine.countEntries = true;  // for the progress bar, on a worker
        m_engine = std::make_unique<RunEngine>(
            std::make_unique<FolderTree>(settings.sourceFolder, settings.destinationFolder), settings, std::move(engine));
    } else {
        m_engine = std::make_unique<RunEngine>(std::move(entries), settings, std::move(engine));
    }

    m_window.SetProgressMaximum(m_count);
    m_window.SetProgressPosition(0);
    m_window.SetProgressText("");
    m_window.SetStartHint(kHintStop);
    m_window.SetRunning(true);
    m_window.SetProgressVisible(true);
    m_window.SetTimerEnabled(true);
}

void BatchRun::Stop()
{
    m_engine->Stop();
    m_stopping = true;
    // The window looks stopped at once; the pictures being converted end at a later tick.
    m_window.SetProgressVisible(false);
    m_window.SetStartHint(kHintStart);
    m_window.SetRunning(false);
}

void BatchRun::Tick()
{
    // A timer event delivered while a modal report is up must not nest a tick.
    if (!m_engine || m_inTick)
        return;
    m_inTick = true;
    struct TickEnd {
        bool& inTick;
        ~TickEnd() { inTick = false; }
    } tickEnd{m_inTick};

    if (!m_stopping)
        PassOnChanges();
    CollectOutcomes();
    if (m_recursive && m_count == 0) {
        if (const std::optional<EntryCounts> counts = m_engine->Counts()) {
            m_count = static_cast<int>(std::min<std::uint64_t>(counts->entries, INT32_MAX));
            m_window.SetProgressMaximum(m_count);
        }
    }
    const auto done = static_cast<std::int64_t>(m_engine->DoneEntries());
    if (!m_stopping && m_count > 0) {
        m_window.SetProgressPosition(static_cast<int>(std::min<std::int64_t>(done, m_count)));
        m_window.SetProgressText(ProgressText(std::min<std::int64_t>(done, m_count), m_count));
    }
    if (m_engine->Finished())
        Finish();
}

void BatchRun::Finish()
{
    CollectOutcomes();
    // Pictures end in any order; the report lists them as the folder does.
    SortByListing(m_outcomes);
    for (const EntryOutcome& outcome : m_outcomes) {
        if (outcome.failure)
            m_failures.push_back({outcome.entry, *outcome.failure});
        else
            m_warnings.push_back({outcome.entry, *outcome.warning});
    }
    m_engine.reset();
    m_window.SetTimerEnabled(false);
    m_window.SetProgressVisible(false);
    m_window.SetStartHint(kHintStart);
    m_window.SetRunning(false);
    m_summary = RunSummaryText(m_stopping, m_pictures, m_failures.size(), m_warnings.size(), m_upToDate);
    m_window.SetProgressText(m_summary);
    m_window.RunEnded(m_summary);
    if (!m_failures.empty() || !m_warnings.empty())
        m_window.ShowFailureReport(RunReportText(m_failures, m_warnings));
}

void BatchRun::RequestClose()
{
    if (!m_engine)
        return;
    m_engine->Stop();
    m_engine.reset();  // the pictures being converted finish here
    m_window.SetTimerEnabled(false);
}

void BatchRun::ClearSummary()
{
    if (m_summary.empty() || m_engine)
        return;
    m_summary.clear();
    m_window.SetProgressText("");
}

void BatchRun::SaveReport(const std::string& path) const
{
    if (!m_report)
        throw Error(m_reportFailure.empty() ? std::string("没有可保存的报告") : "无法保存报告：" + m_reportFailure);
    m_report->SaveTo(path);
    if (const std::optional<std::string> failure = m_report->Failure())
        throw Error("报告不完整：" + *failure);
}

void BatchRun::WaitForWorkers() const
{
    if (m_engine)
        m_engine->Wait();
}

void BatchRun::WaitForEntries(std::size_t count) const
{
    if (m_engine)
        m_engine->Wait(count);
}

void BatchRun::CollectOutcomes()
{
    std::vector<EntryOutcome> outcomes = m_engine->TakeOutcomes();
    if (outcomes.empty())
        return;
    m_pictures += outcomes.size();
    for (EntryOutcome& outcome : outcomes) {
        m_upToDate += outcome.upToDate ? 1 : 0;
        if (outcome.failure || outcome.warning)
            m_outcomes.push_back(std::move(outcome));
    }
}

RunSettings BatchRun::CurrentSettings(const ConversionRequest& size)
{
    RunSettings settings{m_window.SourceFolderText(), m_window.DestinationFolderText(), size};
    settings.request.mode = m_window.SelectedOutputMode();
    settings.request.options = m_window.SelectedConversionOptions();
    return settings;
}

void BatchRun::PassOnChanges()
{
    // The size stays the one the run started with.
    const RunSettings now = CurrentSettings(m_settings.request);
    // A new source folder replaces the listing the run walks, from its next entry on.
    if (m_recursive) {
        if (now.sourceFolder != m_settings.sourceFolder) {
            m_settings = now;
            m_engine->ReplaceSource(std::make_unique<FolderTree>(now.sourceFolder, now.destinationFolder), now);
            return;
        }
    } else if (m_listing.ListedFolder() != m_listedFolder || now.sourceFolder != m_settings.sourceFolder) {
        m_listedFolder = m_listing.ListedFolder();
        m_settings = now;
        m_engine->ReplaceEntries(m_listing.Entries(), now);
        return;
    }
    if (now.destinationFolder != m_settings.destinationFolder || now.request != m_settings.request) {
        m_settings = now;
        m_engine->UpdateSettings(now);
    }
}

}  // namespace picbatch
