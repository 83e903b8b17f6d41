// picbatch-cli: resizes every picture of a folder into another folder, as a run
// in the window would, for scripts and large folders.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch/entry_paths.h"
#include "batch/file_list.h"
#include "batch/json_report.h"
#include "batch/report_line.h"
#include "batch/source_listing.h"
#include "batch/folder_conversion.h"
#include "batch/folder_tree.h"
#include "batch/shard.h"
#include "batch/source_listing.h"
#include "batch/stop_signals.h"
#include "batch/stop_switch.h"
#include "cli/interruption.h"
#include "cli/options.h"
#include "cli/progress_printer.h"
#include "cli/run_summary.h"
#include "cli/terminal_text.h"
#include "pictures/files/file_io.h"
#include "pictures/files/long_path.h"
#include "pictures/files/stale_temporaries.h"

namespace picbatch {
namespace {

constexpr int kExitFailures = 1;
constexpr int kExitUsage = 2;

int UsageFailure(const std::string& message)
{
    std::fprintf(stderr, "picbatch-cli: %s\n用法见 / see: picbatch-cli --help\n", TerminalText(message).c_str());
    return kExitUsage;
}

// "pics/" and "pics" name one folder; the joined paths should read "pics/A.jpg".
std::string WithoutTrailingSlashes(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

void ReportOutcome(ProgressPrinter& progress, const EntryOutcome& outcome)
{
    if (outcome.upToDate)
        progress.UpToDate(outcome.entry);
    else
        progress.Done(outcome.entry, outcome.failure ? &*outcome.failure : nullptr,
                      outcome.warning ? &*outcome.warning : nullptr);
}

int RunCli(int argc, char** argv)
{
    // A reader that goes away (picbatch-cli … | head) must not end the conversions half-way:
    // writes to it then fail, and the run goes on to its end and its exit status.
    std::signal(SIGPIPE, SIG_IGN);
    CliOptions options;
    try {
        const int cores = static_cast<int>(std::thread::hardware_concurrency());
        options = ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), cores > 0 ? cores : 1);
    } catch (const UsageError& error) {
        return UsageFailure(error.what());
    }
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }

    // A list that cannot be read is a wrong command line, found before anything is converted.
    std::shared_ptr<const ListFile> list;
    if (options.filesFrom) {
        try {
            list = ListFile::Open(*options.filesFrom);
        } catch (const Error& error) {
            return UsageFailure("无法读取文件列表 / cannot read the list of files: " + *options.filesFrom + ": "
                                + error.what());
        }
    }

    FolderConversion job;
    job.sourceFolder = WithoutTrailingSlashes(options.source);
    job.destinationFolder = WithoutTrailingSlashes(options.destination);
    job.request = options.request;
    job.jobs = options.jobs;
    job.memoryBudget = options.memoryBudget;
    job.shard = options.shard;

    // Opened through folder descriptors, so that paths of any length work.
    if (OpenFolder(job.sourceFolder, O_PATH).Get() < 0)
        return UsageFailure("源文件夹不存在 / source folder not found: " + job.sourceFolder);
    // The listing takes an unreadable folder for an empty one; here that would pass for success.
    if (OpenFolder(job.sourceFolder, O_RDONLY).Get() < 0)
        return UsageFailure("无法读取源文件夹 / cannot read source folder: " + job.sourceFolder + ": "
                            + SystemErrorText(errno));
    // A missing destination is made, as "mkdir -p" would. Something else in its place is a
    // wrong command line; a folder that cannot be made (a read-only disk, no permission) is
    // a failure of the run, with its cause.
    if (MakeFolders(job.destinationFolder, O_PATH).Get() < 0) {
        const int cause = errno;
        const std::string message = "无法使用目标文件夹 / cannot use destination folder: " + job.destinationFolder
            + ": " + SystemErrorText(cause);
        if (cause == EEXIST || cause == ENOTDIR)
            return UsageFailure(message);
        std::fprintf(stderr, "picbatch-cli: %s\n", TerminalText(message).c_str());
        return kExitFailures;
    }

    // Opened before anything is converted: a run whose report cannot be written would leave
    // no record of what it did.
    std::optional<JsonReport> report;
    if (options.report) {
        try {
            report.emplace(*options.report);
        } catch (const Error& error) {
            return UsageFailure("无法写入报告 / cannot write report: " + std::string(error.what()));
        }
        job.report = &*report;
    }

    // Where the file system has no unnamed files, a killed run leaves its temporaries: those
    // that surely belong to no running process are removed.
    if (const int removed = RemoveStaleTemporaries(job.destinationFolder); removed > 0)
        std::fprintf(stderr, "picbatch-cli: 已删除中断的运行留下的 %d 个临时文件 / removed %d temporary files left by "
                     "interrupted runs\n", removed, removed);

    // Heard from here on.
    StopSwitch stop;
    const Interruption interruption(stop);
    job.stop = &stop;
    bool failed = false;

    const bool terminal = isatty(STDERR_FILENO) == 1;
    std::string summaryLine;
    if (!options.request.options.recursive && !list) {
        // One folder: listed ahead, its names passed over told before the run.
        const FolderListing listing = ListFolderAccounted(job.sourceFolder);
        const std::vector<std::string>& entries = listing.files;
        int pictures = 0;
        for (const std::string& entry : entries) {
            if (!job.shard || ShardOf(entry, job.shard->count) == job.shard->index)
                pictures += IsPictureEntry(entry) ? 1 : 0;
        }
        if (options.verbose) {
            for (const PassedOverEntry& entry : listing.passedOver)
                std::fputs(PassedOverLine(entry).c_str(), stderr);
        }
        if (report) {
            std::vector<ReportLine> lines;
            for (const PassedOverEntry& entry : listing.passedOver) {
                if (!job.shard || ShardOf(entry.name, job.shard->count) == job.shard->index)
                    lines.push_back(SkippedLine(entry.name, PassedOverReasonText(entry.reason)));
            }
            report->Add(lines);
        }
        ProgressPrinter progress(stderr, terminal, pictures);
        const ConversionSummary summary = ConvertFolder(job, entries, [&](const EntryOutcome& outcome) {
            ReportOutcome(progress, outcome);
        });
        progress.Finish();
        // Warnings and the names passed over come last, after the counts that scripts may
        // already read.
        summaryLine = SummaryLine(summary, listing.passedOver);
        failed = !summary.failures.empty();
    } else {
        // A tree or a list: taken as the run goes, after a pass that only counts.
        std::unique_ptr<EntrySource> source;
        if (list)
            source = std::make_unique<FileList>(list, job.sourceFolder, options.nullSeparated ? '\0' : '\n');
        else
            source = std::make_unique<FolderTree>(job.sourceFolder, job.destinationFolder);
        job.counts = CountEntries(*source, job.shard);
        ProgressPrinter progress(stderr, terminal, static_cast<int>(job.counts->reported));
        PassedOverCounts passedOver{};
        const ConversionSummary summary = ConvertFolder(
            job, std::move(source), [&](const EntryOutcome& outcome) { ReportOutcome(progress, outcome); },
            [&](const ListedEntry& entry) {
                ++passedOver[static_cast<std::size_t>(entry.reason)];
                if (report)
                    report->Add(SkippedLine(entry.path, PassedOverReasonText(entry.reason)));
                if (options.verbose)
                    progress.Note(PassedOverLine({entry.path, entry.reason}));
            });
        progress.Finish();
        summaryLine = SummaryLine(summary, passedOver);
        failed = !summary.failures.empty();
    }
    // A summary that could not be written (a full disk under "> file") fails the run; a
    // reader that went away ("| head") does not.
    const int summaryError = std::fputs(summaryLine.c_str(), stdout) == EOF || std::fflush(stdout) != 0 ? errno : 0;
    const bool summaryLost = summaryError != 0 && summaryError != EPIPE;
    if (summaryLost)
        std::fprintf(stderr, "picbatch-cli: 无法写出汇总 / cannot write the summary: %s\n",
                     SystemErrorText(summaryError).c_str());
    const std::optional<std::string> reportFailure = report ? report->Failure() : std::nullopt;
    if (reportFailure)
        std::fprintf(stderr, "picbatch-cli: 报告不完整 / report incomplete: %s: %s\n",
                     TerminalText(*options.report).c_str(), TerminalText(*reportFailure).c_str());
    // A stopped run says so, by the status a shell gives a program ended by the signal.
    if (interruption.Signal() != 0)
        return StopSignals::ExitStatusFor(interruption.Signal());
    // A warned picture was written: it does not change the exit status. A report or summary
    // left incomplete does: a script reading it would otherwise miss entries unawares.
    return failed || reportFailure || summaryLost ? kExitFailures : 0;
}

}  // namespace
}  // namespace picbatch

int main(int argc, char** argv)
{
    return picbatch::RunCli(argc, argv);
}
