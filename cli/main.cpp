// picbatch-cli: resizes every BMP and JPEG picture of a folder into another folder, as a run
// in the window would, for scripts and large folders.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <unistd.h>

#include "batch/entry_paths.h"
#include "batch/source_listing.h"
#include "batch/folder_conversion.h"
#include "cli/options.h"
#include "cli/progress_printer.h"
#include "cli/run_summary.h"
#include "cli/terminal_text.h"

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

    FolderConversion job;
    job.sourceFolder = WithoutTrailingSlashes(options.source);
    job.destinationFolder = WithoutTrailingSlashes(options.destination);
    job.width = options.size.width;
    job.height = options.size.height;
    job.mode = options.mode;
    job.jobs = options.jobs;
    job.memoryBudget = options.memoryBudget;
    job.options = options.conversion;

    std::error_code error;
    if (!std::filesystem::is_directory(job.sourceFolder, error))
        return UsageFailure("源文件夹不存在 / source folder not found: " + job.sourceFolder);
    // The listing takes an unreadable folder for an empty one; here that would pass for success.
    const std::filesystem::directory_iterator readable(job.sourceFolder, error);
    if (error)
        return UsageFailure("无法读取源文件夹 / cannot read source folder: " + job.sourceFolder + ": " + error.message());
    // A missing destination is made, as "mkdir -p" would; anything else there is refused.
    std::filesystem::create_directories(job.destinationFolder, error);
    if (!std::filesystem::is_directory(job.destinationFolder, error))
        return UsageFailure("无法使用目标文件夹 / cannot use destination folder: " + job.destinationFolder);

    const FolderListing listing = ListFolderAccounted(job.sourceFolder);
    const std::vector<std::string>& entries = listing.files;
    int pictures = 0;
    for (const std::string& entry : entries)
        pictures += IsPictureEntry(entry) ? 1 : 0;
    if (options.verbose) {
        for (const PassedOverEntry& entry : listing.passedOver)
            std::fputs(PassedOverLine(entry).c_str(), stderr);
    }

    ProgressPrinter progress(stderr, isatty(STDERR_FILENO) == 1, pictures);
    const ConversionSummary summary =
        ConvertFolder(job, entries, [&](const std::string& entry, const std::string* failure,
                                        const std::string* warning) { progress.Done(entry, failure, warning); });
    progress.Finish();

    // Warnings and the names passed over come last, after the counts that scripts may
    // already read.
    std::fputs(SummaryLine(summary, listing.passedOver).c_str(), stdout);
    // A warned picture was written: it does not change the exit status.
    return summary.failures.empty() ? 0 : kExitFailures;
}

}  // namespace
}  // namespace picbatch

int main(int argc, char** argv)
{
    return picbatch::RunCli(argc, argv);
}
