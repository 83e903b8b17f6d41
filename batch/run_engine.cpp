// Worker threads taking the entries of a run in listing order.
#include "batch/run_engine.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <new>
#include <system_error>
#include <utility>

#include "batch/entry_conversion.h"
#include "batch/entry_paths.h"
#include "batch/failure_text.h"
#include "batch/memory_budget.h"
#include "batch/peak_estimate.h"

namespace picbatch {

void SortByListing(std::vector<EntryOutcome>& outcomes)
{
    std::sort(outcomes.begin(), outcomes.end(),
              [](const EntryOutcome& a, const EntryOutcome& b) { return a.index < b.index; });
}

RunEngine::RunEngine(std::vector<std::string> entries, const RunSettings& settings, Options options)
    : m_options(std::move(options)), m_entries(std::move(entries)), m_settings(settings),
      m_budget(m_options.memoryBudget ? *m_options.memoryBudget : DefaultMemoryBudget())
{
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
    m_entries = std::move(entries);
    m_settings = settings;
}

void RunEngine::Stop()
{
    const std::lock_guard lock(m_mutex);
    m_stopping = true;
    for (auto& [key, waiting] : m_inFlight)
        waiting.clear();  // not started: they are not converted
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

bool RunEngine::Finished() const
{
    const std::lock_guard lock(m_mutex);
    return m_activeWorkers == 0;
}

void RunEngine::Wait(std::optional<std::size_t> count) const
{
    std::unique_lock lock(m_mutex);
    m_progress.wait(lock, [&] { return m_activeWorkers == 0 || (count && m_doneEntries >= *count); });
}

std::optional<RunEngine::Job> RunEngine::TakeNext()
{
    while (!m_stopping && m_next < m_entries.size()) {
        const std::size_t index = m_next++;
        const std::string& entry = m_entries[index];
        // The output is named once, here: the queue's key and the plan take it.
        PlannedOutput output;
        if (IsPictureEntry(entry))
            output = OutputFor(DestinationPathOf(m_settings.destinationFolder, entry), m_settings.request.mode);
        if (!output.path) {
            if (m_options.entriesPassedOver)
                m_passedOver.push_back(entry);
            ++m_doneEntries;
            m_progress.notify_all();
            continue;
        }
        // Keyed under the lock, so that entries sharing an output queue up in listing order;
        // the key costs a few file-system calls.
        std::string key = FileKey(*output.path);
        Job job{index, entry, m_settings, std::move(output), std::move(key)};
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
    if (m_stopping)
        return std::nullopt;
    m_bytesInFlight += estimate;
    ++m_picturesInFlight;
    return BudgetAdmission{job.index, estimate, m_bytesInFlight, m_picturesInFlight};
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
    outcome.entry = job.entry;
    const EntryLocation location{job.settings.sourceFolder, job.settings.destinationFolder, job.entry};
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
        outcome.outputWidth = plan->width;
        outcome.outputHeight = plan->height;
        outcome.bytesWritten = notes.bytesWritten;
    }
    return outcome;
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
    const std::lock_guard doneLock(m_doneMutex);
    try {
        m_options.entriesPassedOver(passedOver);
    } catch (...) {
        // As for entryDone: a report that cannot be made does not end the process.
    }
}

void RunEngine::Work()
{
    // The sources are registered by the first worker, not by the thread that started the run:
    // a file-system call per entry would stall a window over a large folder.
    std::call_once(m_sourcesRegistered, [&] {
        std::vector<std::string> entries;
        std::string folder;
        {
            const std::lock_guard lock(m_mutex);
            entries = m_entries;
            folder = m_settings.sourceFolder;
        }
        m_claims.SetSources(folder, entries);
    });
    for (std::optional<Job> job;;) {
        if (m_options.beforeTaking)
            m_options.beforeTaking();
        {
            const std::lock_guard lock(m_mutex);
            job = job ? AfterDone(*job) : TakeNext();
            // In line from the moment it is taken: no later entry starts before it does.
            if (job)
                m_waiting.insert(job->index);
        }
        ReportPassedOver();
        if (!job)
            break;
        // Planned outside the lock, reading the header and the metadata: other workers go on
        // meanwhile. The plan lives for this picture only: a worker waiting for the budget
        // holds nothing of its last picture.
        std::optional<ConversionPlan> plan;
        std::exception_ptr planFailure;  // no memory for the plan: the picture's failure
        const auto planStart = std::chrono::steady_clock::now();
        try {
            plan = PlanConversion(SourcePathOf(job->settings.sourceFolder, job->entry), job->output,
                                  job->settings.request, m_options.threadsPerPicture);
        } catch (...) {
            planFailure = std::current_exception();
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
