// The parallel conversion of a folder's pictures.
#include "batch/folder_conversion.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "batch/entry_conversion.h"
#include "batch/entry_paths.h"
#include "batch/output_claims.h"
#include "imaging/raster.h"

namespace picbatch {

namespace {

struct Task {
    std::string entry;
    std::optional<std::string> failure;
    std::optional<std::string> warning;
};

}  // namespace

ConversionSummary ConvertFolder(const FolderConversion& job, const std::vector<std::string>& entries,
                                const EntryDone& done)
{
    ConversionSummary summary;
    std::vector<Task> tasks;
    std::vector<std::string> outputKeys;
    for (const std::string& entry : entries) {
        const std::optional<std::string> outputPath =
            IsPictureEntry(entry) ? OutputPathFor(DestinationPathOf(job.destinationFolder, entry), job.mode)
                                  : std::nullopt;
        if (!outputPath) {
            ++summary.skipped;
            continue;
        }
        tasks.push_back({entry, {}, {}});
        outputKeys.push_back(FileKey(*outputPath));
    }
    summary.pictures = static_cast<int>(tasks.size());

    // Entries that share an output file form one group, handled by one thread in listing
    // order: the first that converts writes the file, as in the window's run. Different
    // groups write different files, so the threads never race for one claim.
    std::vector<std::vector<std::size_t>> groups;
    std::unordered_map<std::string, std::size_t> groupOfOutput;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const auto [at, added] = groupOfOutput.try_emplace(outputKeys[i], groups.size());
        if (added)
            groups.emplace_back();
        groups[at->second].push_back(i);
    }

    OutputClaims claims;
    claims.SetSources(job.sourceFolder, entries);

    std::atomic<std::size_t> nextGroup{0};
    std::mutex doneMutex;
    const std::size_t workerCount =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(job.jobs, 1)), groups.size());
    const ConversionTarget target{job.width, job.height, job.mode, ThreadsPerConversion(static_cast<int>(workerCount))};
    auto work = [&] {
        Raster working;  // one working picture per thread
        for (std::size_t g; (g = nextGroup.fetch_add(1)) < groups.size();) {
            for (std::size_t index : groups[g]) {
                Task& task = tasks[index];
                ConversionNotes notes;
                task.failure = EntryFailureOf([&] {
                    notes = ConvertEntry({job.sourceFolder, job.destinationFolder, task.entry}, target, claims,
                                         working);
                });
                if (!task.failure)
                    task.warning = WarningOf(notes);
                const std::lock_guard lock(doneMutex);
                if (done)
                    done(task.entry, task.failure ? &*task.failure : nullptr, task.warning ? &*task.warning : nullptr);
            }
        }
    };

    if (workerCount <= 1) {
        work();
    } else {
        std::vector<std::jthread> workers;
        workers.reserve(workerCount);
        for (std::size_t i = 0; i < workerCount; ++i)
            workers.emplace_back(work);
    }

    for (Task& task : tasks) {
        if (task.failure)
            summary.failures.push_back({task.entry, *task.failure});
        else
            ++summary.converted;
        if (task.warning)
            summary.warnings.push_back({task.entry, *task.warning});
    }
    return summary;
}

}  // namespace picbatch
