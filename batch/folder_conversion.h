// Converting the entries of one source folder on several threads, each picture through the
// one conversion of an entry (entry_conversion.h): picbatch-cli's run.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/conversion_request.h"
#include "batch/entry_source.h"
#include "batch/run_engine.h"
#include "batch/run_report.h"
#include "batch/shard.h"
#include "batch/stop_switch.h"

namespace picbatch {

class JsonReport;

struct FolderConversion {
    std::string sourceFolder;
    std::string destinationFolder;
    ConversionRequest request;
    int jobs = 1;
    // What the pictures in flight may take together (RunEngine::Options::memoryBudget);
    // nothing: the default budget.
    std::optional<std::int64_t> memoryBudget;
    // When given and flipped, no further picture is taken; those in flight are finished.
    StopSwitch* stop = nullptr;
    // Only this share of the entries (RunEngine::Options::shard).
    std::optional<Shard> shard;
    // The counts of the listing, when known already (RunEngine::Options::counts).
    std::optional<EntryCounts> counts;
    // When given, each entry's line goes there as the entry is done: the pictures' and those
    // of the other entries, skipped as no pictures (kNotAPictureCause).
    JsonReport* report = nullptr;
};

struct ConversionSummary {
    int pictures = 0;   // entries with a picture's extension
    int converted = 0;
    int skipped = 0;    // other entries
    int upToDate = 0;   // pictures left as they were, their outputs newer than their sources
    std::vector<EntryFailure> failures;  // in listing order
    std::vector<EntryFailure> warnings;  // converted entries with a warning, in listing order
    bool stopped = false;  // the run was stopped before every picture was done
};

// Called once per picture entry (and refused entry) when it is done; calls never overlap,
// but they come from the worker threads in the order of completion.
using EntryDone = std::function<void(const EntryOutcome& outcome)>;
// Called for each entry passed over, with the same guarantees.
using EntryPassedOver = std::function<void(const ListedEntry& entry)>;

// Converts the picture entries of `entries` (a listing of sourceFolder, in listing order)
// on up to `jobs` threads. Each output file is the same whatever the number of threads: when
// several entries map to one output file, the first of them in listing order that converts
// writes it and the later ones fail, exactly as in a run in the window; no entry writes over
// the source picture of another entry.
ConversionSummary ConvertFolder(const FolderConversion& job, const std::vector<std::string>& entries,
                                const EntryDone& done);

// The same for the entries source gives (a folder tree, a list of files), taken as they come:
// nothing is held per entry but the summary's failures and warnings. Entries that are no
// pictures' count as skipped, and so do links to folders.
ConversionSummary ConvertFolder(const FolderConversion& job, std::unique_ptr<EntrySource> source,
                                const EntryDone& done, const EntryPassedOver& passedOver);

}  // namespace picbatch
