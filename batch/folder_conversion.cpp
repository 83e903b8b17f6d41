// picbatch-cli's run: the window's run engine, waited for.
#include "batch/folder_conversion.h"

#include <algorithm>
#include <optional>

#include "batch/entry_paths.h"
#include "batch/json_report.h"
#include "batch/report_line.h"

namespace picbatch {

namespace {

// Runs the engine over source and sums its outcomes up into summary.
void Run(const FolderConversion& job, std::unique_ptr<EntrySource> source, int workers, const EntryDone& done,
         const EntryPassedOver& passedOver, ConversionSummary& summary, std::size_t& otherFiles)
{
    RunEngine::Options options;
    options.workers = workers;
    options.threadsPerPicture = ThreadsPerConversion(workers);
    options.memoryBudget = job.memoryBudget;
    options.shard = job.shard;
    options.counts = job.counts;
    if (done || job.report) {
        options.entryDone = [&](const EntryOutcome& outcome) {
            if (job.report)
                job.report->Add(ReportLineOf(outcome));
            if (done)
                done(outcome);
        };
    }
    if (passedOver)
        options.passedOver = passedOver;
    if (job.report) {
        options.entriesPassedOver = [&](const std::vector<std::string>& names) {
            job.report->AddSkipped(names, kNotAPictureCause);
        };
    }
    std::vector<EntryOutcome> outcomes;
    {
        RunEngine engine(std::move(source), {job.sourceFolder, job.destinationFolder, job.request}, std::move(options));
        if (job.stop)
            job.stop->Attach([&engine] { engine.Stop(); });
        engine.Wait();
        if (job.stop)
            job.stop->Detach();
        outcomes = engine.TakeOutcomes();
        summary.stopped = engine.StoppedEarly();
        otherFiles = engine.OtherFiles();
    }

    SortByListing(outcomes);
    for (EntryOutcome& outcome : outcomes) {
        if (outcome.failure) {
            summary.failures.push_back({outcome.entry, *outcome.failure});
            continue;
        }
        if (outcome.upToDate) {
            ++summary.upToDate;
            continue;
        }
        ++summary.converted;
        if (outcome.warning)
            summary.warnings.push_back({outcome.entry, *outcome.warning});
    }
}

}  // namespace

ConversionSummary ConvertFolder(const FolderConversion& job, const std::vector<std::string>& entries,
                                const EntryDone& done)
{
    ConversionSummary summary;
    for (const std::string& entry : entries) {
        if (job.shard && ShardOf(entry, job.shard->count) != job.shard->index)
            continue;
        if (IsPictureEntry(entry))
            ++summary.pictures;
        else
            ++summary.skipped;
    }
    // No more workers than pictures: a second core then goes to each picture instead.
    const int workers = std::clamp(summary.pictures, 1, std::max(job.jobs, 1));
    std::size_t otherFiles = 0;
    Run(job, std::make_unique<HeldEntries>(entries), workers, done, {}, summary, otherFiles);
    const int finished = summary.converted + summary.upToDate + static_cast<int>(summary.failures.size());
    summary.stopped = finished < summary.pictures;
    return summary;
}

ConversionSummary ConvertFolder(const FolderConversion& job, std::unique_ptr<EntrySource> source,
                                const EntryDone& done, const EntryPassedOver& passedOver)
{
    ConversionSummary summary;
    int folderLinks = 0;
    const EntryPassedOver counted = [&](const ListedEntry& entry) {
        folderLinks += entry.reason == PassedOverReason::FolderLink ? 1 : 0;
        if (passedOver)
            passedOver(entry);
    };
    // Counted ahead where known: no more workers than pictures.
    int workers = std::max(job.jobs, 1);
    if (job.counts)
        workers = static_cast<int>(std::clamp<std::uint64_t>(job.counts->reported, 1, static_cast<std::uint64_t>(workers)));
    std::size_t otherFiles = 0;
    Run(job, std::move(source), workers, done, counted, summary, otherFiles);
    summary.pictures = summary.converted + summary.upToDate + static_cast<int>(summary.failures.size());
    summary.skipped = static_cast<int>(otherFiles) + folderLinks;
    return summary;
}

}  // namespace picbatch
