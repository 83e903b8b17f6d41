// The parallel conversion of a folder's pictures.
#include "cli/folder_conversion.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <unordered_map>

#include "batch/convert_picture.h"
#include "batch/entry_paths.h"
#include "batch/output_claims.h"
#include "imaging/error.h"
#include "imaging/raster.h"

namespace {

struct Task {
    std::string entry;
    std::string sourcePath;
    std::string destinationPath;
    std::string outputPath;
    std::optional<std::string> failure;
};

}  // namespace

ConversionSummary ConvertFolder(const FolderConversion& job, const std::vector<std::string>& entries,
                                const EntryDone& done)
{
    ConversionSummary summary;
    std::vector<Task> tasks;
    for (const std::string& entry : entries) {
        if (!IsPictureEntry(entry)) {
            ++summary.skipped;
            continue;
        }
        const std::string destinationPath = DestinationPathOf(job.destinationFolder, entry);
        const std::optional<std::string> outputPath = OutputPathFor(destinationPath, job.mode);
        if (!outputPath) {
            ++summary.skipped;
            continue;
        }
        tasks.push_back({entry, SourcePathOf(job.sourceFolder, entry), destinationPath, *outputPath, {}});
    }
    summary.pictures = static_cast<int>(tasks.size());

    // Entries that share an output file form one group, handled by one thread in listing
    // order: the first that converts writes the file, as in the window's run. Different
    // groups write different files, so the threads never touch one file.
    std::vector<std::vector<std::size_t>> groups;
    std::unordered_map<std::string, std::size_t> groupOfOutput;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const auto [at, added] = groupOfOutput.try_emplace(FileKey(tasks[i].outputPath), groups.size());
        if (added)
            groups.emplace_back();
        groups[at->second].push_back(i);
    }

    OutputClaims sources;  // read-only once the threads run
    sources.SetSources(job.sourceFolder, entries);

    std::atomic<std::size_t> nextGroup{0};
    std::mutex doneMutex;
    const std::size_t threadCount = std::min<std::size_t>(static_cast<std::size_t>(std::max(job.jobs, 1)), groups.size());
    const Threads threads = ThreadsPerConversion(static_cast<int>(threadCount));
    auto work = [&] {
        Raster working;  // one working picture per thread
        for (std::size_t g; (g = nextGroup.fetch_add(1)) < groups.size();) {
            const std::string* writer = nullptr;
            for (std::size_t index : groups[g]) {
                Task& task = tasks[index];
                try {
                    if (writer)
                        throw Error(SameOutputMessage(*writer));
                    sources.CheckNotOtherSource(task.outputPath, task.sourcePath);
                    ConvertPicture(task.sourcePath, job.width, job.height, task.destinationPath, job.mode, working,
                                   threads);
                    writer = &task.entry;
                } catch (const std::bad_alloc&) {
                    task.failure = "Out of memory";
                } catch (const std::exception& error) {
                    task.failure = error.what();
                }
                const std::lock_guard lock(doneMutex);
                if (done)
                    done(task.entry, task.failure ? &*task.failure : nullptr);
            }
        }
    };

    if (threadCount <= 1) {
        work();
    } else {
        std::vector<std::jthread> threads;
        threads.reserve(threadCount);
        for (std::size_t i = 0; i < threadCount; ++i)
            threads.emplace_back(work);
    }

    for (Task& task : tasks) {
        if (task.failure)
            summary.failures.push_back({task.entry, *task.failure});
        else
            ++summary.converted;
    }
    return summary;
}
