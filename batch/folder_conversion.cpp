// picbatch-cli's run: the window's run engine, waited for.
#include "batch/folder_conversion.h"

#include <algorithm>
#include <optional>

#include "batch/entry_paths.h"
#include "batch/json_report.h"
#include "batch/report_line.h"
#include "batch/run_engine.h"

namespace picbatch {

ConversionSummary ConvertFolder(const FolderConversion& job, const std::vector<std::string>& entries,
                                const EntryDone& done)
{
    ConversionSummary summary;
    for (const std::string& entry : entries) {
        if (EntryOutputPath(job.destinationFolder, entry, job.request.mode))
            ++summary.pictures;
        else
            ++summary.skipped;
    }

    // No more workers than pictures: a second core then goes to each picture instead.
    const int workers = std::clamp(summary.pictures, 1, std::max(job.jobs, 1));
    RunEngine::Options options;
    options.workers = workers;
    options.threadsPerPicture = ThreadsPerConversion(workers);
    options.memoryBudget = job.memoryBudget;
    if (done || job.report) {
        options.entryDone = [&](const EntryOutcome& outcome) {
            if (job.report)
                job.report->Add(ReportLineOf(outcome));
            if (done)
                done(outcome.entry, outcome.failure ? &*outcome.failure : nullptr,
                     outcome.warning ? &*outcome.warning : nullptr);
        };
    }
    if (job.report) {
        options.entriesPassedOver = [&](const std::vector<std::string>& passedOver) {
            job.report->AddSkipped(passedOver, kNotAPictureCause);
        };
    }
    std::vector<EntryOutcome> outcomes;
    {
        RunEngine engine(entries, {job.sourceFolder, job.destinationFolder, job.request}, std::move(options));
        if (job.stop)
            job.stop->Attach([&engine] { engine.Stop(); });
        engine.Wait();
        if (job.stop)
            job.stop->Detach();
        outcomes = engine.TakeOutcomes();
    }

    SortByListing(outcomes);
    summary.stopped = static_cast<int>(outcomes.size()) < summary.pictures;
    for (EntryOutcome& outcome : outcomes) {
        if (outcome.failure) {
            summary.failures.push_back({outcome.entry, *outcome.failure});
            continue;
        }
        ++summary.converted;
        if (outcome.warning)
            summary.warnings.push_back({outcome.entry, *outcome.warning});
    }
    return summary;
}

}  // namespace picbatch
