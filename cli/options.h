// The command line of picbatch-cli: what to convert, to which size and format, how, on how
// many threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/conversion_request.h"
#include "batch/shard.h"
#include "batch/target_size.h"
#include "imaging/error.h"

namespace picbatch {

// A command line that cannot be run; main prints the message and exits with 2.
class UsageError : public Error {
public:
    using Error::Error;
};

struct CliOptions {
    bool help = false;
    // --size, --format, --orientation, --metadata, --quality, --progressive, the fit options,
    // --recursive, --name, --skip-up-to-date
    ConversionRequest request;
    int jobs = 1;
    std::optional<std::int64_t> memoryBudget;  // bytes; nothing: the default budget
    bool verbose = false;     // list the entries passed over
    std::optional<std::string> filesFrom;  // --files-from: the list's path, "-" for standard input
    bool nullSeparated = false;            // --null: the list's paths end in NUL bytes
    std::optional<Shard> shard;            // --shard K/N
    std::optional<std::string> report;  // --report: the JSON Lines report's file
    std::string source;       // as given
    std::string destination;  // as given
};

// The usage text, in Chinese and English.
std::string UsageText();

// Splits a size given as "WxH" (also "W*H", "W × H" or a size text such as
// "778 * 502  （杂志图片）") into its width and height texts.
SizeTexts SplitCliSize(const std::string& text);

// A size in bytes: a whole number, optionally followed by K, M, G or T (powers of 1024, in
// either case, "512M", "2G"); throws UsageError naming --memory-budget for anything else,
// for 0 and for more than 2^62 bytes.
std::int64_t ParseMemorySize(const std::string& text);

// Parses the arguments after the program name. --help anywhere gives help = true and no
// further checks. Throws UsageError for anything that cannot be run: unknown or repeated
// options, a missing value, a bad size (the run's own messages), format, job count, memory
// budget, name template or shard, --null without --files-from, --recursive with it, or not
// exactly two folders. defaultJobs is used without --jobs.
CliOptions ParseCliOptions(const std::vector<std::string>& args, int defaultJobs);

}  // namespace picbatch
