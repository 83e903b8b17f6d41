// Worker threads taking the entries of a run in listing order.
#include "batch/run_engine.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <new>
#include <system_error>
#include <utility>

#include "batch/entry_conversion.h"
#include "batch/entry_output.h"
#include "batch/entry_paths.h"
#include "batch/failure_text.h"
#include "batch/memory_budget.h"
#include "batch/name_template.h"
#include "batch/peak_estimate.h"
#include "batch/up_to_date.h"

namespace picbatch {

void SortByListing(std::vector<EntryOutcome>& outcomes)
{
    std::sort(outcomes.begin(), outcomes.end(),
              [](const EntryOutcome& a, const EntryOutcome& b) { return a.index < b.index; });
}

RunEngine::RunEngine(std::vector<std::string> entries, const RunSettings& settings, Options options)
    : RunEngine(std::make_unique<HeldEntries>(std::move(entries)), settings, std::move(options))
{
}

RunEngine::RunEngine(std::unique_ptr<EntrySource> source, const RunSettings& settings, Options options)
    : m_options(std::move(options)), m_source(std::move(source)), m_settings(settings),
      m_counts(m_options.counts),
      m_budget(m_options.memoryBudget ? *m_options.memoryBudget : DefaultMemoryBudget())
{
    // A source that does not hold its entries cannot register them: the claims know its
    // pictures by where they lie.
    if (!m_source->Held())
        m_claims.SetSourceTree(settings.sourceFolder, settings.destinationFolder);
    const int workers = std::max(m_options.workers, 1);
    m_activeWorkers = workers;
    for (int i = 0; i < workers; ++i) {
        try {
            m_workers.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // Fewer threads than asked for (a process limit): the ones there do the work.
            const std::lock_guard lock(m_mutex);
            m_activeWorkers -= workers - i;
            break;
        }
    }
    if (m_workers.empty()) {
        // Not even one: the run is converted here, before the constructor returns.
        m_activeWorkers = 1;
        Work();
    }
}

RunEngine::~RunEngine()
{
    Stop();
    m_workers.clear();  // joins
}

void RunEngine::UpdateSettings(const RunSettings& settings)
{
    const std::lock_guard lock(m_mutex);
    m_settings = settings;
}

void RunEngine::ReplaceEntries(std::vector<std::string> entries, const RunSettings& settings)
{
    // Registered outside the lock: a large listing takes a file-system call per entry.
    m_claims.SetSources(settings.sourceFolder, entries);
    const std::lock_guard lock(m_mutex);
    m_source = std::make_unique<HeldEntries>(std::move(entries), m_next);
    m_sourceEnded = false;
    m_settings = settings;
}

void RunEngine::ReplaceSource(std::unique_ptr<EntrySource> source, const RunSettings& settings)
{
    m_claims.SetSourceTree(settings.sourceFolder, settings.destinationFolder);
    const std::lock_guard lock(m_mutex);
    // The run goes on from its next entry number, as with a new listing.
    for (std::size_t skipped = 0; skipped < m_next && source->Next(); ++skipped) {
    }
    m_source = std::move(source);
    m_sourceEnded = false;
    m_settings = settings;
}

void RunEngine::Stop()
{
    const std::lock_guard lock(m_mutex);
    m_stopping = true;
    for (auto& [key, waiting] : m_inFlight) {
        m_abandoned = m_abandoned || !waiting.empty();
        waiting.clear();  // not started: they are not converted
    }
    m_budgetChanged.notify_all();  // nor are those waiting for the budget
}

std::size_t RunEngine::DoneEntries() const
{
    const std::lock_guard lock(m_mutex);
    return m_doneEntries;
}

std::size_t RunEngine::DonePictures() const
{
    const std::lock_guard lock(m_mutex);
    return m_donePictures;
}

std::vector<EntryOutcome> RunEngine::TakeOutcomes()
{
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_outcomes, {});
}

std::size_t RunEngine::OtherFiles() const
{
    const std::lock_guard lock(m_mutex);
    return m_otherFiles;
}

std::optional<EntryCounts> RunEngine::Counts() const
{
    const std::lock_guard lock(m_mutex);
    return m_counts;
}

bool RunEngine::StoppedEarly() const
{
    const std::lock_guard lock(m_mutex);
    return m_stopping && (m_abandoned || !m_sourceEnded);
}

bool RunEngine::Finished() const
{
    const std::lock_guard lock(m_mutex);
    return m_activeWorkers == 0;
}

void RunEngine::Wait(std::optional<std::size_t> count) const
{
    std::unique_lock lock(m_mutex);
    m_countWaiters += count ? 1 : 0;
    m_progress.wait(lock, [&] { return m_activeWorkers == 0 || (count && m_doneEntries >= *count); });
    m_countWaiters -= count ? 1 : 0;
}

void RunEngine::NameOutput(Job& job, std::uint64_t number)
{
    const RunSettings& settings = job.settings;
    const std::string& nameTemplate = settings.request.options.nameTemplate;
    NameFields fields;
    fields.width = settings.request.width;
    fields.height = settings.request.height;
    fields.number = number;
    fields.count = m_counts ? m_counts->pictures : number;
    if (nameTemplate != kDefaultNameTemplate && NameTemplateUsesSize(nameTemplate)) {
        // The size is the plan's: made now, under the lock, so that entries sharing an output
        // still queue in listing order. A header read is short beside a conversion.
        const PlannedOutput provisional =
            EntryOutput(settings.destinationFolder, job.listed.path, settings.request.mode, kDefaultNameTemplate, fields);
        if (provisional.path) {
            job.plan = PlanConversion(SourcePathOf(settings.sourceFolder, job.listed.path), provisional,
                                      settings.request, m_options.threadsPerPicture);
            // The output's size: a pad's canvas, otherwise the resampled picture.
            fields.width = job.plan->canvasWidth;
            fields.height = job.plan->canvasHeight;
        }
    }
    job.output = EntryOutput(settings.destinationFolder, job.listed.path, settings.request.mode, nameTemplate, fields);
    if (job.plan)
        job.plan->output = job.output;
}

std::optional<RunEngine::Job> RunEngine::TakeNext()
{
    while (!m_stopping && !m_sourceEnded) {
        std::optional<ListedEntry> listed = m_source->Next();
        if (!listed) {
            m_sourceEnded = true;
            break;
        }
        const bool picture = listed->kind == ListedEntry::Kind::File && listed->picture;
        const std::uint64_t number = picture ? ++m_pictureNumber : 0;
        if (m_options.shard && ShardOf(listed->path, m_options.shard->count) != m_options.shard->index)
            continue;
        const std::size_t index = m_next++;
        if (listed->kind == ListedEntry::Kind::File && !picture) {
            ++m_otherFiles;
            ++m_doneEntries;
            if (m_options.entriesPassedOver) {
                m_passedOver.push_back(listed->path);
                // A folder of a million other files is handed on in batches, never held whole.
                if (m_passedOver.size() >= kPassedOverBatch) {
                    std::vector<std::string> batch;
                    batch.swap(m_passedOver);
                    HandOverPassedOver(batch);
                }
            }
            // A tree of a million other files would wake a waiter a million times.
            if (m_countWaiters > 0)
                m_progress.notify_all();
            continue;
        }
        Job job{index, std::move(*listed), m_settings, {}, {}, {}};
        if (!picture)
            return job;  // passed over or refused: reported by the worker
        // The output is named once, here: the queue's key and the plan take it.
        try {
            NameOutput(job, number);
        } catch (...) {
            // No memory for the name or the plan: the entry fails as a conversion would.
            const std::exception_ptr failure = std::current_exception();
            job.listed.kind = ListedEntry::Kind::Refused;
            job.listed.failure = EntryFailureOf([&] { std::rethrow_exception(failure); }).value_or(std::string());
            return job;
        }
        if (!job.output.path) {
            // A name the template cannot make: a failure of the entry, not a file passed over.
            job.listed.kind = ListedEntry::Kind::Refused;
            job.listed.failure = "输出文件名无效，未处理";
            return job;
        }
        // Keyed under the lock, so that entries sharing an output queue up in listing order;
        // the key costs a few file-system calls.
        job.outputKey = FileKey(*job.output.path);
        const auto [flight, added] = m_inFlight.try_emplace(job.outputKey);
        if (added)
            return job;
        // Another picture is writing this file: this one goes after it, on the same worker.
        flight->second.push_back(std::move(job));
    }
    return std::nullopt;
}

std::optional<RunEngine::Job> RunEngine::AfterDone(const Job& job)
{
    const auto flight = m_inFlight.find(job.outputKey);
    if (!flight->second.empty()) {
        Job next = std::move(flight->second.front());
        flight->second.pop_front();
        return next;
    }
    m_inFlight.erase(flight);
    return TakeNext();
}

std::optional<BudgetAdmission> RunEngine::Admit(const Job& job, std::int64_t estimate)
{
    std::unique_lock lock(m_mutex);
    // In listing order: a later, smaller picture never overtakes one waiting for room, so
    // a picture over the budget does get the moment when nothing else is in flight.
    m_budgetChanged.wait(lock, [&] {
        return m_stopping
            || (*m_waiting.begin() == job.index
                && (m_picturesInFlight == 0 || estimate <= m_budget - m_bytesInFlight));
    });
    m_waiting.erase(job.index);
    m_budgetChanged.notify_all();  // the next one waiting may fit as well, or must stop too
    if (m_stopping) {
        m_abandoned = true;
        return std::nullopt;
    }
    m_bytesInFlight += estimate;
    ++m_picturesInFlight;
    return BudgetAdmission{job.index, estimate, m_bytesInFlight, m_picturesInFlight};
}

void RunEngine::Withdraw(const Job& job)
{
    const std::lock_guard lock(m_mutex);
    m_waiting.erase(job.index);
    m_budgetChanged.notify_all();
}

void RunEngine::Release(std::int64_t estimate)
{
    const std::lock_guard lock(m_mutex);
    m_bytesInFlight -= estimate;
    --m_picturesInFlight;
    m_budgetChanged.notify_all();
}

EntryOutcome RunEngine::Convert(const Job& job, const ConversionPlan* plan, const std::exception_ptr& planFailure)
{
    EntryOutcome outcome;
    outcome.index = job.index;
    outcome.entry = job.listed.path;
    const EntryLocation location{job.settings.sourceFolder, job.settings.destinationFolder, job.listed.path};
    ConversionNotes notes;
    // Whatever the conversion throws, of any type, is this picture's failure: a worker never
    // ends the process.
    outcome.failure = EntryFailureOf([&] {
        if (!plan)
            std::rethrow_exception(planFailure);
        notes = m_options.convert ? m_options.convert(location, *plan, m_claims) : ConvertEntry(location, *plan, m_claims);
    });
    if (!outcome.failure)
        outcome.warning = WarningOf(notes);
    // What the report tells besides; a string copy that fails only leaves the path out.
    try {
        outcome.output = job.output.path;
    } catch (const std::bad_alloc&) {
    }
    if (plan && plan->header) {
        outcome.sourceWidth = plan->header->width;
        outcome.sourceHeight = plan->header->height;
    }
    if (plan && !outcome.failure) {
        outcome.outputWidth = notes.writtenWidth;
        outcome.outputHeight = notes.writtenHeight;
        outcome.bytesWritten = notes.bytesWritten;
    }
    return outcome;
}

EntryOutcome RunEngine::LeaveUpToDate(const Job& job)
{
    EntryOutcome outcome;
    outcome.index = job.index;
    outcome.entry = job.listed.path;
    const EntryLocation location{job.settings.sourceFolder, job.settings.destinationFolder, job.listed.path};
    // Checked as a conversion would be: an output that is another entry's source or another
    // entry's output fails the same way, and the output stays this entry's.
    outcome.failure = EntryFailureOf([&] { KeepUpToDateOutput(location, *job.output.path, m_claims); });
    outcome.upToDate = !outcome.failure;
    try {
        outcome.output = job.output.path;
    } catch (const std::bad_alloc&) {
    }
    return outcome;
}

void RunEngine::Finish(EntryOutcome outcome)
{
    if (m_options.entryDone) {
        const std::lock_guard doneLock(m_doneMutex);
        try {
            m_options.entryDone(outcome);
        } catch (...) {
            // A report that cannot be made (no memory for its text) must not end the
            // process; the outcome is still counted below.
        }
    }
    const std::lock_guard lock(m_mutex);
    ++m_doneEntries;
    ++m_donePictures;
    m_outcomes.push_back(std::move(outcome));
    m_progress.notify_all();
}

void RunEngine::Prepare()
{
    // Done by the first worker, not by the thread that started the run: a file-system call
    // per entry would stall a window over a large folder.
    std::vector<std::string> held;
    std::string folder;
    std::unique_ptr<EntrySource> again;
    bool count = false;
    {
        const std::lock_guard lock(m_mutex);
        if (const std::vector<std::string>* entries = m_source->Held())
            held = *entries;
        folder = m_settings.sourceFolder;
        const std::string& nameTemplate = m_settings.request.options.nameTemplate;
        count = !m_counts
            && (m_options.countEntries
                || (nameTemplate != kDefaultNameTemplate && NameTemplateUsesNumber(nameTemplate)));
        if (count)
            again = m_source->Again();
    }
    if (!held.empty())
        m_claims.SetSources(folder, held);
    if (count) {
        const EntryCounts counts = CountEntries(*again, m_options.shard);
        const std::lock_guard lock(m_mutex);
        m_counts = counts;
    }
}

void RunEngine::ReportPassedOver()
{
    std::vector<std::string> passedOver;
    {
        const std::lock_guard lock(m_mutex);
        if (m_passedOver.empty())
            return;
        passedOver.swap(m_passedOver);
    }
    HandOverPassedOver(passedOver);
}

void RunEngine::HandOverPassedOver(const std::vector<std::string>& passedOver)
{
    // Taken under m_mutex or not: no one holds m_doneMutex while waiting for m_mutex.
    const std::lock_guard doneLock(m_doneMutex);
    try {
        m_options.entriesPassedOver(passedOver);
    } catch (...) {
        // As for entryDone: a report that cannot be made does not end the process.
    }
}

void RunEngine::Work()
{
    std::call_once(m_prepared, [&] { Prepare(); });
    bool picture = false;  // the last job was a picture's, in m_inFlight
    for (std::optional<Job> job;;) {
        if (m_options.beforeTaking)
            m_options.beforeTaking();
        {
            const std::lock_guard lock(m_mutex);
            job = job && picture ? AfterDone(*job) : TakeNext();
            picture = job && job->Picture();
            // In line from the moment it is taken: no later entry starts before it does.
            if (picture)
                m_waiting.insert(job->index);
        }
        ReportPassedOver();
        if (!job)
            break;
        if (job->listed.kind == ListedEntry::Kind::PassedOver) {
            if (m_options.passedOver) {
                const std::lock_guard doneLock(m_doneMutex);
                try {
                    m_options.passedOver(job->listed);
                } catch (...) {
                    // As for entryDone: a report that cannot be made does not end the process.
                }
            }
            const std::lock_guard lock(m_mutex);
            ++m_doneEntries;
            m_progress.notify_all();
            continue;
        }
        if (job->listed.kind == ListedEntry::Kind::Refused) {
            EntryOutcome refused;
            refused.index = job->index;
            refused.entry = job->listed.path;
            refused.failure = job->listed.failure;
            Finish(std::move(refused));
            continue;
        }
        const std::string sourcePath = SourcePathOf(job->settings.sourceFolder, job->listed.path);
        if (job->settings.request.options.skipUpToDate && OutputUpToDate(sourcePath, *job->output.path)) {
            Withdraw(*job);
            Finish(LeaveUpToDate(*job));
            continue;
        }
        // Planned outside the lock, reading the header and the metadata: other workers go on
        // meanwhile. The plan lives for this picture only: a worker waiting for the budget
        // holds nothing of its last picture.
        std::optional<ConversionPlan> plan = std::move(job->plan);
        job->plan.reset();
        std::exception_ptr planFailure;  // no memory for the plan: the picture's failure
        const auto planStart = std::chrono::steady_clock::now();
        if (!plan) {
            try {
                plan = PlanConversion(sourcePath, job->output, job->settings.request, m_options.threadsPerPicture);
            } catch (...) {
                planFailure = std::current_exception();
            }
        }
        const std::int64_t estimate = plan ? plan->peakBytes : kConversionBaseBytes;
        const auto planTime = std::chrono::steady_clock::now() - planStart;
        const std::optional<BudgetAdmission> admission = Admit(*job, estimate);
        if (!admission)
            continue;  // stopped before it started: the next taking ends this worker
        if (m_options.admitted)
            m_options.admitted(*admission);
        const auto convertStart = std::chrono::steady_clock::now();
        EntryOutcome outcome = Convert(*job, plan ? &*plan : nullptr, planFailure);
        outcome.milliseconds = std::chrono::duration<double, std::milli>(
            planTime + (std::chrono::steady_clock::now() - convertStart)).count();
        plan.reset();
        Release(estimate);
        Finish(std::move(outcome));
    }
    bool last = false;
    {
        const std::lock_guard lock(m_mutex);
        last = --m_activeWorkers == 0;
        m_progress.notify_all();
    }
    if (last && m_options.finished)
        m_options.finished();
}

}  // namespace picbatch
