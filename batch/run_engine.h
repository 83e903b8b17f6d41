// The conversions of one run on worker threads. Entries are taken in listing order, as many
// pictures at once as there are workers; a finished picture makes room for the next at once
// and entries that are not pictures cost nothing. Entries that would write one output file
// are converted one after the other in listing order, so the first of them that converts
// writes it, whatever the number of workers. A picture starts only while the estimated peaks
// of the pictures in flight, its own included, fit the run's memory budget, or when nothing
// else is in flight; pictures start in listing order all the same. The window's run and
// picbatch-cli both use it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "batch/conversion_plan.h"
#include "batch/conversion_request.h"
#include "batch/convert_picture.h"
#include "batch/entry_conversion.h"
#include "batch/entry_source.h"
#include "batch/output_claims.h"
#include "batch/shard.h"
#include "pictures/save_picture.h"

namespace picbatch {

// Where pictures go and how: read when a picture is taken, so that a change during a run
// applies to the pictures not taken yet.
struct RunSettings {
    std::string sourceFolder;
    std::string destinationFolder;
    ConversionRequest request;
};

// What became of one picture entry (or of an entry refused: a folder not read, a bad line
// of a list, which has a failure).
struct EntryOutcome {
    std::size_t index = 0;               // in the listing
    std::string entry;
    std::optional<std::string> failure;  // the failure text, or nothing when converted
    std::optional<std::string> warning;  // what a converted picture's source lacked
    bool upToDate = false;               // left as it was: its output was newer than its source
    // For the report (report_line.h): the file the entry is written to, the source's stored
    // size where its header was read (0 x 0 otherwise), the size written, the bytes written,
    // and the time the picture took, its wait for the memory budget left out.
    std::optional<std::string> output;
    int sourceWidth = 0;
    int sourceHeight = 0;
    int outputWidth = 0;
    int outputHeight = 0;
    std::int64_t bytesWritten = 0;
    double milliseconds = 0;
};

// Outcomes in the order of their entries in the listing (workers end them in any order).
void SortByListing(std::vector<EntryOutcome>& outcomes);

// A picture starting under the memory budget: its estimated peak, and what was in flight
// once it started, itself included.
struct BudgetAdmission {
    std::size_t index = 0;  // in the listing
    std::int64_t estimate = 0;
    std::int64_t bytesInFlight = 0;
    int picturesInFlight = 0;
};

// The conversion of one entry as planned: ConvertEntry, unless a test puts another in its place.
using EntryConverter = std::function<ConversionNotes(const EntryLocation&, const ConversionPlan&, OutputClaims&)>;

class RunEngine {
public:
    struct Options {
        int workers = 1;
        Threads threadsPerPicture = Threads::One;
        // Called on the worker before it takes each entry, outside any lock: lets tests step
        // a run one picture at a time.
        std::function<void()> beforeTaking;
        // Called on the worker, one call at a time, as each picture entry is done.
        std::function<void(const EntryOutcome&)> entryDone;
        // Called on the worker with the entries passed over (no picture's name) since the last
        // call, in listing order, at most kPassedOverBatch at once; one call at a time with
        // entryDone's. It may run while the engine's lock is held: neither calls the engine.
        std::function<void(const std::vector<std::string>&)> entriesPassedOver;
        // Called on the last worker to end, just before it ends: the run is Finished.
        std::function<void()> finished;
        // The bytes the pictures in flight may take together, by their estimated peaks
        // (ConversionPlan::peakBytes); nothing: DefaultMemoryBudget(). A picture estimated above
        // it starts once nothing else is in flight, and runs alone.
        std::optional<std::int64_t> memoryBudget;
        // Called on the worker as each picture starts, outside any lock: lets tests see what
        // the budget let run at once.
        std::function<void(const BudgetAdmission&)> admitted;
        // Converts each picture; empty: ConvertEntry. Lets tests make a conversion fail in
        // ways no picture can.
        EntryConverter convert;
        // Only the entries of this share of the listing are taken (shard.h); the others are
        // not counted anywhere, but still numbered for "{n}".
        std::optional<Shard> shard;
        // Called on the worker, one call at a time with entryDone, for each entry passed over.
        std::function<void(const ListedEntry&)> passedOver;
        // The counts of the whole listing, when the caller has them; otherwise the first
        // worker counts before it takes an entry, when the name template numbers pictures or
        // countEntries asks for them (Counts).
        std::optional<EntryCounts> counts;
        bool countEntries = false;
    };

    // Starts the workers over entries (a listing of settings.sourceFolder).
    RunEngine(std::vector<std::string> entries, const RunSettings& settings, Options options);
    // Starts the workers over the entries source gives (paths relative to
    // settings.sourceFolder), taking them as they come.
    RunEngine(std::unique_ptr<EntrySource> source, const RunSettings& settings, Options options);
    // Stops taking entries and joins the workers once their pictures are done.
    ~RunEngine();
    RunEngine(const RunEngine&) = delete;
    RunEngine& operator=(const RunEngine&) = delete;

    // The settings for pictures taken from now on.
    void UpdateSettings(const RunSettings& settings);
    // A new listing (of settings.sourceFolder): the run goes on from its next entry number
    // in the new entries, as a run in the window always has.
    void ReplaceEntries(std::vector<std::string> entries, const RunSettings& settings);
    // The same for a source that does not hold its entries (a folder tree).
    void ReplaceSource(std::unique_ptr<EntrySource> source, const RunSettings& settings);
    // No entry is taken any more; pictures being converted are finished.
    void Stop();

    // Entries done so far: pictures converted or failed, and the other entries passed over.
    std::size_t DoneEntries() const;
    // Picture entries done so far, and the outcomes of them not taken by TakeOutcomes yet.
    std::size_t DonePictures() const;
    std::vector<EntryOutcome> TakeOutcomes();
    // The non-picture files taken so far (passed over, at no cost).
    std::size_t OtherFiles() const;
    // The counts of the listing, once counted (Options::counts, countEntries).
    std::optional<EntryCounts> Counts() const;
    // True when the run was stopped while entries were left, or pictures taken were not
    // converted.
    bool StoppedEarly() const;
    // True once every worker has ended: all entries done, or stopped and the pictures in
    // flight finished.
    bool Finished() const;
    // Blocks until Finished, or until DoneEntries reaches count when count is given.
    void Wait(std::optional<std::size_t> count = std::nullopt) const;

private:
    struct Job {
        std::size_t index;
        ListedEntry listed;
        RunSettings settings;
        PlannedOutput output;
        std::string outputKey;
        // Made when the entry was taken, where its name needs the output's size.
        std::optional<ConversionPlan> plan;
        bool Picture() const { return listed.kind == ListedEntry::Kind::File; }
    };

    void Work();
    // Once, on the first worker: the sources registered with the claims, the listing counted.
    void Prepare();
    // Under m_mutex: the output of a picture entry, numbered; sets job.plan where the name
    // template needs the size.
    void NameOutput(Job& job, std::uint64_t number);
    // The picture of job was not converted after all (up to date): later ones need not wait for it.
    void Withdraw(const Job& job);
    // The outcome of a picture whose output is up to date: its output claimed and kept, or
    // the failure of the claim.
    EntryOutcome LeaveUpToDate(const Job& job);
    // Reports and counts a finished entry.
    void Finish(EntryOutcome outcome);
    // Under m_mutex: the next picture entry to convert, queueing it behind a picture in flight
    // with the same output; nothing when no entry is left or the run stopped.
    std::optional<Job> TakeNext();
    // Under m_mutex: the entry that waited behind job's output, or else the next entry.
    std::optional<Job> AfterDone(const Job& job);
    // Waits until the picture of job (in m_waiting since it was taken) fits the budget, after
    // every earlier entry taken; nothing when the run stopped meanwhile (the picture is then
    // not converted).
    std::optional<BudgetAdmission> Admit(const Job& job, std::int64_t estimate);
    void Release(std::int64_t estimate);
    // The picture of job converted as planned, its failure or warning recorded in the outcome;
    // without a plan, planFailure is its failure.
    EntryOutcome Convert(const Job& job, const ConversionPlan* plan, const std::exception_ptr& planFailure);
    // Hands the entries passed over so far to entriesPassedOver.
    void ReportPassedOver();
    // Calls entriesPassedOver with passedOver, one call at a time with entryDone's.
    void HandOverPassedOver(const std::vector<std::string>& passedOver);
    // The most names of other files held before they are handed on.
    static constexpr std::size_t kPassedOverBatch = 1024;

    const Options m_options;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_progress;
    std::unique_ptr<EntrySource> m_source;
    RunSettings m_settings;
    std::size_t m_next = 0;          // entries taken from the listing
    std::uint64_t m_pictureNumber = 0;  // picture entries met, in the shard or not
    bool m_sourceEnded = false;
    bool m_stopping = false;
    bool m_abandoned = false;        // a picture taken was not converted: the run stopped
    std::size_t m_otherFiles = 0;
    std::optional<EntryCounts> m_counts;
    std::size_t m_doneEntries = 0;
    mutable int m_countWaiters = 0;  // in Wait for a number of entries
    std::size_t m_donePictures = 0;
    int m_activeWorkers = 0;
    // Outputs being written, each with the entries waiting to write the same file.
    std::map<std::string, std::deque<Job>> m_inFlight;
    std::vector<EntryOutcome> m_outcomes;
    // The budget and what is held of it: estimates of the pictures in flight, and the entries
    // taken but not started, earliest first.
    std::int64_t m_budget = 0;
    std::int64_t m_bytesInFlight = 0;
    int m_picturesInFlight = 0;
    std::set<std::size_t> m_waiting;
    // Entries passed over under m_mutex, for the worker to hand to entriesPassedOver after it.
    std::vector<std::string> m_passedOver;
    std::condition_variable m_budgetChanged;
    std::mutex m_doneMutex;  // one entryDone call at a time
    OutputClaims m_claims;
    std::once_flag m_prepared;
    std::vector<std::jthread> m_workers;
};

}  // namespace picbatch
