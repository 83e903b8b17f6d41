// The run engine under a memory budget: pictures start only while the estimates in flight fit,
// one over the budget runs alone, none fails for its neighbours; and whatever a conversion
// throws is its own picture's failure.
#include "batch/run_engine.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>

#include "batch/entry_paths.h"
#include "batch/failure_text.h"
#include "batch/conversion_plan.h"
#include "batch/peak_estimate.h"
#include "tests/batch/fake_run_window.h"
#include "tests/batch/picture_files.h"
#include "tests/common/libjpeg_compress.h"
#include "tests/pictures/bmp_builder.h"

namespace picbatch {

namespace {

constexpr int kWidth = 4;
constexpr int kHeight = 3;
const ConversionRequest kRequest{kWidth, kHeight, OutputMode::KeepFormat, {}};

// A BMP of 60-odd bytes declaring a picture of side x side at 32 bits.
std::vector<std::uint8_t> BmpBomb(int side)
{
    BmpBuilder bomb;
    bomb.width = side;
    bomb.height = side;
    bomb.bitCount = 32;
    return bomb.Bytes();
}

class RunBudget : public ::testing::Test {
protected:
    // The estimate of converting entry as the run below does.
    std::int64_t EstimateOf(const std::string& entry) const
    {
        return PlanEntry({source.Path(), out.Path(), entry}, kRequest).peakBytes;
    }

    // Runs entries on workers under budget into folder; the outcomes in listing order, and
    // every admission in admissions.
    std::vector<EntryOutcome> Run(const std::vector<std::string>& entries, int workers,
                                  std::optional<std::int64_t> budget, const std::string& folder,
                                  EntryConverter convert = {})
    {
        RunEngine::Options options;
        options.workers = workers;
        options.memoryBudget = budget;
        options.convert = std::move(convert);
        options.admitted = [this](const BudgetAdmission& admission) {
            const std::lock_guard lock(mutex);
            admissions.push_back(admission);
        };
        RunEngine engine(entries, {source.Path(), folder, kRequest}, std::move(options));
        engine.Wait();
        std::vector<EntryOutcome> outcomes = engine.TakeOutcomes();
        SortByListing(outcomes);
        return outcomes;
    }

    // Every admission held no more than budget (but for a picture alone) and no more than
    // `most` pictures.
    void ExpectWithin(std::int64_t budget, int most)
    {
        for (const BudgetAdmission& a : admissions) {
            SCOPED_TRACE(a.index);
            EXPECT_LE(a.picturesInFlight, most);
            if (a.picturesInFlight > 1) {
                EXPECT_LE(a.bytesInFlight, budget);
            }
        }
    }

    const BudgetAdmission& AdmissionOf(std::size_t index) const
    {
        for (const BudgetAdmission& a : admissions) {
            if (a.index == index)
                return a;
        }
        throw std::logic_error("never admitted");
    }

    TempFolder source;
    TempFolder out;
    std::mutex mutex;
    std::vector<BudgetAdmission> admissions;
};

TEST_F(RunBudget, EightBombsOnEightWorkersTakeTurnsAndAllConvert)
{
    std::vector<std::string> entries;
    for (char c = 'a'; c < 'i'; ++c) {
        entries.push_back(std::string(1, c) + ".bmp");
        WriteBytes(source / entries.back(), BmpBomb(2048));
    }
    const std::int64_t bomb = EstimateOf("a.bmp");
    // Read in bands: far less than its 24-bit picture.
    EXPECT_LT(bomb, std::int64_t{2048} * 2048 * 3);
    const std::int64_t budget = bomb * 5 / 2;

    // A header that cannot be read costs little: its conversion fails early, for its own reasons.
    WriteBytes(source / "z.jpg", {'n', 'o'});
    EXPECT_EQ(EstimateOf("z.jpg"), kConversionBaseBytes);

    const std::vector<EntryOutcome> outcomes = Run(entries, 8, budget, out.Path());
    ASSERT_EQ(outcomes.size(), entries.size());
    for (const EntryOutcome& outcome : outcomes) {
        SCOPED_TRACE(outcome.entry);
        EXPECT_EQ(outcome.failure, std::nullopt);
        EXPECT_EQ(outcome.warning, kIncompleteSourceWarning);  // converted, its pixels filled in
    }
    EXPECT_EQ(admissions.size(), entries.size());
    ExpectWithin(budget, 2);
}

TEST_F(RunBudget, APictureOverTheBudgetRunsAloneAndTheFilesAreThoseOfAnUnboundedRun)
{
    std::vector<std::string> entries;
    for (char c = 'a'; c < 'i'; ++c) {
        entries.push_back(std::string(1, c) + ".jpg");
        WriteBytes(source / entries.back(), PatternJpeg(40 + c, 30));
    }
    // Its coefficients take 4 MiB: more than the budget below.
    WriteBytes(source / "d2.jpg", PatternJpeg(1200, 1200, [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); }));
    entries.insert(entries.begin() + 4, "d2.jpg");
    const std::int64_t small = EstimateOf("h.jpg");
    const std::int64_t budget = small * 5 / 2;
    ASSERT_GT(EstimateOf("d2.jpg"), budget);

    const std::vector<EntryOutcome> outcomes = Run(entries, 8, budget, out.Path());
    ASSERT_EQ(outcomes.size(), entries.size());
    for (const EntryOutcome& outcome : outcomes)
        EXPECT_EQ(outcome.failure, std::nullopt) << outcome.entry;
    ExpectWithin(budget, 2);
    EXPECT_EQ(AdmissionOf(4).picturesInFlight, 1);

    const TempFolder unbounded;
    admissions.clear();
    Run(entries, 8, std::int64_t{1} << 50, unbounded.Path());
    for (const std::string& entry : entries) {
        EXPECT_EQ(ReadBytes(*EntryOutputPath(out.Path(), entry, OutputMode::KeepFormat)),
                  ReadBytes(*EntryOutputPath(unbounded.Path(), entry, OutputMode::KeepFormat)))
            << entry;
    }
}

TEST_F(RunBudget, AnythingAConversionThrowsIsItsPicturesFailure)
{
    const std::vector<std::string> entries = {"a.bmp", "b.bmp", "c.bmp", "d.bmp"};
    for (const std::string& entry : entries)
        WriteBmpFile(source / entry, TestPicture(8, 6, 1, 2, 3));
    const std::vector<EntryOutcome> outcomes =
        Run(entries, 2, std::nullopt, out.Path(),
            [](const EntryLocation& location, const ConversionPlan& plan, OutputClaims& claims) {
                if (location.entry == "b.bmp")
                    throw 42;
                if (location.entry == "c.bmp")
                    throw std::string("not an exception class");
                return ConvertEntry(location, plan, claims);
            });
    ASSERT_EQ(outcomes.size(), entries.size());
    const std::string unexpected = "Unexpected exception（程序内部出现意外错误，这张图片未转换）";
    EXPECT_EQ(outcomes[0].failure, std::nullopt);
    EXPECT_EQ(outcomes[1].failure, unexpected);
    EXPECT_EQ(outcomes[2].failure, unexpected);
    EXPECT_EQ(outcomes[3].failure, std::nullopt);
    EXPECT_EQ(FolderNames(out.Path()), (std::set<std::string>{"A.bmp", "D.bmp"}));
}

// Pictures waiting for room are not started once the run is stopped.
TEST_F(RunBudget, StoppingEndsThePicturesWaitingForTheBudget)
{
    const std::vector<std::string> entries = {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"};
    for (const std::string& entry : entries)
        WriteBmpFile(source / entry, TestPicture(8, 6, 1, 2, 3));
    EntryGate held;
    std::promise<void> firstStarted;
    RunEngine::Options options;
    options.workers = 4;
    options.memoryBudget = 1;  // one picture at a time
    options.admitted = [&](const BudgetAdmission& admission) {
        if (admission.index == 0)
            firstStarted.set_value();
        held.Pass();
    };
    RunEngine engine(entries, {source.Path(), out.Path(), kRequest}, std::move(options));
    const EntryGate::OpenAtScopeEnd release{held};
    firstStarted.get_future().wait();
    engine.Stop();
    held.Open();
    engine.Wait();
    const std::vector<EntryOutcome> outcomes = engine.TakeOutcomes();
    ASSERT_EQ(outcomes.size(), 1U);
    EXPECT_EQ(outcomes[0].entry, "a.bmp");
}

}  // namespace

}  // namespace picbatch
