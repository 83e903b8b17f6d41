// The batch run driven headless through a fake window, over real files in temporary folders.
#include "batch/batch_run.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

#include "batch/source_listing.h"
#include "imaging/error.h"
#include "tests/batch/fake_run_window.h"
#include "tests/batch/picture_files.h"

namespace picbatch {

namespace {

class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.sourceFolder = source.Path();
        window.destinationFolder = destination.Path();
    }
    // Lists the source folder as the window's source folder button would.
    BatchRun& Run()
    {
        listing.SelectFolder(source.Path());
        return run;
    }
    // Plain BMP sources that convert without trouble.
    void AddBmps(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            WriteBmpFile(source / name, TestPicture(8, 6, 10, 20, 30));
    }
    void TickUntilStopped(int maxTicks = 100)
    {
        for (int i = 0; i < maxTicks && run.Running(); ++i)
            run.Tick();
        ASSERT_FALSE(run.Running());
    }

    // The listing starts at the current folder, which an earlier test may have left in a
    // folder that is gone by now.
    struct ExistingCurrentFolder {
        ExistingCurrentFolder() { std::filesystem::current_path(std::filesystem::temp_directory_path()); }
    } currentFolder;
    TempFolder source;
    TempFolder destination;
    FakeWindow window;
    SourceListing listing;
    BatchRun run{window, listing};
};

std::string LastText(const FakeWindow& window)
{
    return window.progressTexts.empty() ? "<none>" : window.progressTexts.back();
}

TEST_F(BatchRunTest, ThreeEntriesInKeepFormatMode)
{
    AddBmps({"a.bmp"});
    WriteBytes(source / "b.txt", {'h', 'i'});
    WriteJpegFile(source / "c.JPG", TestPicture(9, 7, 200, 100, 50));

    Run().Toggle();
    EXPECT_TRUE(run.Running());
    EXPECT_TRUE(window.timerEnabled);
    EXPECT_TRUE(window.progressVisible);
    EXPECT_EQ(window.progressMaximum, 3);
    EXPECT_EQ(window.startHint, kHintStop);

    const char* expected[] = {"33%    ", "66%    ", "100%    "};
    for (int n = 1; n <= 3; ++n) {
        run.Tick();
        EXPECT_EQ(window.progressPosition, n);
        EXPECT_EQ(LastText(window), expected[n - 1]);
        EXPECT_TRUE(run.Running());
    }
    EXPECT_EQ(window.sleptMilliseconds, 30);
    run.Tick();
    EXPECT_FALSE(run.Running());
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_FALSE(window.progressVisible);
    EXPECT_EQ(LastText(window), "");
    EXPECT_EQ(window.startHint, kHintStart);
    EXPECT_TRUE(window.reports.empty());

    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.bmp", "C.jpg"}));
    for (const char* name : {"A.bmp", "C.jpg"}) {
        const Raster written = LoadedPicture(destination / name);
        EXPECT_EQ(written.Width(), 4) << name;
        EXPECT_EQ(written.Height(), 3) << name;
    }
    const auto bmp = ReadBytes(destination / "A.bmp");
    ASSERT_GE(bmp.size(), 2u);
    EXPECT_TRUE(bmp[0] == 'B' && bmp[1] == 'M');
}

TEST_F(BatchRunTest, SecondToggleStopsAndTheNextStartBeginsAtEntryOne)
{
    AddBmps({"a.bmp", "b.bmp"});
    Run().Toggle();
    run.Tick();
    run.Toggle();
    EXPECT_FALSE(run.Running());
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_FALSE(window.progressVisible);
    EXPECT_EQ(LastText(window), "");
    EXPECT_EQ(window.startHint, kHintStart);

    run.Tick();  // a late timer event does nothing once stopped
    EXPECT_FALSE(std::filesystem::exists(destination / "B.bmp"));

    run.Toggle();
    EXPECT_EQ(run.EntryNumber(), 1);
    run.Tick();
    EXPECT_EQ(LastText(window), "50%    ");
}

TEST_F(BatchRunTest, OutputChoiceChangedMidRunAppliesToTheRemainingEntries)
{
    AddBmps({"a.bmp", "b.bmp", "c.bmp"});
    Run().Toggle();
    run.Tick();
    window.onEvents = [&] { window.mode = OutputMode::Jpeg; };
    TickUntilStopped();
    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.bmp", "B.jpg", "C.jpg"}));
}

TEST_F(BatchRunTest, ClicksHandledInsideATick)
{
    AddBmps({"a.bmp", "c.bmp"});
    WriteBytes(source / "b.bmp", {'B', 'M', 0});
    Run().Toggle();
    run.Tick();
    // A stop during tick 2's events: the tick still handles b.bmp, whose failure is reported.
    window.onEvents = [&] {
        window.onEvents = nullptr;
        run.Toggle();
    };
    run.Tick();
    EXPECT_FALSE(run.Running());
    EXPECT_FALSE(window.timerEnabled);
    ASSERT_EQ(window.reports.size(), 1u);
    EXPECT_NE(window.reports[0].find("b.bmp"), std::string::npos);
    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.bmp"}));

    // Stopped and started again inside one tick: the new run begins at its entry 1.
    run.Toggle();
    run.Tick();
    window.onEvents = [&] {
        window.onEvents = nullptr;
        run.Toggle();
        run.Toggle();
    };
    run.Tick();
    EXPECT_TRUE(run.Running());
    EXPECT_EQ(run.EntryNumber(), 1);
    EXPECT_EQ(window.reports.size(), 1u);  // the stopped run had no failure yet
}

TEST_F(BatchRunTest, EmptyListingFinishesAtTheFirstTick)
{
    Run().Toggle();
    EXPECT_EQ(window.progressMaximum, 0);
    run.Tick();
    EXPECT_FALSE(run.Running());
    EXPECT_EQ(window.progressTexts, std::vector<std::string>{""});
}

TEST_F(BatchRunTest, CloseRequestedClosesTheWindowAndEndsTheRun)
{
    AddBmps({"a.bmp", "b.bmp"});
    Run().Toggle();
    run.RequestClose();
    run.Tick();
    EXPECT_TRUE(window.closed);
    EXPECT_FALSE(run.Running());
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_TRUE(window.reports.empty());
}

TEST_F(BatchRunTest, FailingEntriesAreReportedOnceAndSkipped)
{
    WriteJpegFile(source / "a.jpg", TestPicture(8, 6, 10, 20, 30));
    WriteBytes(source / "b.jpg", {0xFF, 0xD8, 'n', 'o', 't'});
    AddBmps({"c.bmp", "d.bmp"});
    Run().Toggle();
    run.Tick();
    run.Tick();
    std::filesystem::remove(source / "c.bmp");  // vanishes after the listing was taken
    TickUntilStopped();

    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.jpg", "D.bmp"}));
    ASSERT_EQ(run.Failures().size(), 2u);
    EXPECT_EQ(run.Failures()[0].name, "b.jpg");
    EXPECT_TRUE(run.Failures()[0].message.starts_with("JPEG error #")) << run.Failures()[0].message;
    EXPECT_EQ(run.Failures()[1].name, "c.bmp");
    EXPECT_EQ(run.Failures()[1].message, "File not found（文件不存在，可能已被移动或删除）");
    ASSERT_EQ(window.reports.size(), 1u);
    EXPECT_EQ(window.reports[0], FailureReportText(run.Failures()));
}

// Pictures whose files end early are converted as ever; the report lists them as warnings,
// after the failures, and a run with warnings alone reports them too.
TEST_F(BatchRunTest, IncompleteSourcesAreConvertedAndReportedAsWarnings)
{
    WriteJpegFile(source / "whole.jpg", TestPicture(40, 30, 10, 20, 30));
    WriteCutCopy(source / "whole.jpg", source / "a.jpg", 20);
    WriteBmpFile(source / "c.bmp", TestPicture(8, 6, 10, 20, 30));
    WriteCutCopy(source / "c.bmp", source / "c.bmp", 10);
    WriteBytes(source / "d.jpg", {'n', 'o', 't'});
    Run().Toggle();
    TickUntilStopped();

    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.jpg", "C.bmp", "WHOLE.jpg"}));
    ASSERT_EQ(run.Failures().size(), 1u);
    EXPECT_EQ(run.Failures()[0].name, "d.jpg");
    ASSERT_EQ(run.Warnings().size(), 2u);
    EXPECT_EQ(run.Warnings()[0].name, "a.jpg");
    EXPECT_EQ(run.Warnings()[0].message, kIncompleteSourceWarning);
    EXPECT_EQ(run.Warnings()[1].name, "c.bmp");
    EXPECT_EQ(run.Warnings()[1].message, kIncompleteSourceWarning);
    ASSERT_EQ(window.reports.size(), 1u);
    EXPECT_EQ(window.reports[0], RunReportText(run.Failures(), run.Warnings()));

    WriteJpegFile(source / "d.jpg", TestPicture(8, 6, 10, 20, 30));
    Run().Toggle();
    TickUntilStopped();
    EXPECT_TRUE(run.Failures().empty());
    ASSERT_EQ(window.reports.size(), 2u);
    EXPECT_TRUE(window.reports[1].starts_with("有 2 个图片有警告：")) << window.reports[1];
}

TEST_F(BatchRunTest, EntriesSharingAnOutputFileKeepTheFirstOutput)
{
    // Listing order: "A.JPG" before "a.jpg" (equal ignoring case, then by bytes).
    WriteJpegFile(source / "A.JPG", TestPicture(8, 6, 0, 0, 250));
    WriteJpegFile(source / "a.jpg", TestPicture(8, 6, 250, 0, 0));
    WriteBmpFile(source / "b.bmp", TestPicture(8, 6, 0, 0, 250));
    WriteJpegFile(source / "b.jpg", TestPicture(8, 6, 250, 0, 0));
    window.mode = OutputMode::Jpeg;
    Run().Toggle();
    TickUntilStopped();

    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.jpg", "B.jpg"}));
    for (const char* name : {"A.jpg", "B.jpg"}) {
        std::uint8_t bgr[3];
        LoadedPicture(destination / name).PixelBgr(3, 0, bgr);
        EXPECT_GT(bgr[2], 200) << name << " holds the later entry's picture";
    }
    ASSERT_EQ(run.Failures().size(), 2u);
    EXPECT_EQ(run.Failures()[0].name, "a.jpg");
    EXPECT_NE(run.Failures()[0].message.find("A.JPG"), std::string::npos);
    EXPECT_EQ(run.Failures()[1].name, "b.jpg");
    EXPECT_NE(run.Failures()[1].message.find("b.bmp"), std::string::npos);
}

TEST_F(BatchRunTest, InPlaceRunReplacesEachSourceOnlyWithItsOwnOutput)
{
    window.destinationFolder = source.Path();
    WriteJpegFile(source / "P.jpg", TestPicture(8, 6, 0, 0, 250));
    WriteBmpFile(source / "p.bmp", TestPicture(8, 6, 250, 0, 0));  // would become P.jpg too
    window.mode = OutputMode::Jpeg;
    Run().Toggle();
    TickUntilStopped();

    const Raster replaced = LoadedPicture(source / "P.jpg");
    EXPECT_EQ(replaced.Width(), 4);
    std::uint8_t bgr[3];
    replaced.PixelBgr(3, 0, bgr);
    EXPECT_GT(bgr[2], 200);
    ASSERT_EQ(run.Failures().size(), 1u);
    EXPECT_EQ(run.Failures()[0].name, "p.bmp");
    EXPECT_NE(run.Failures()[0].message.find("P.jpg"), std::string::npos);
}

TEST_F(BatchRunTest, FolderTextEmptiedMidRunFailsTheRemainingEntries)
{
    AddBmps({"a.bmp", "b.bmp", "c.bmp"});
    Run().Toggle();
    run.Tick();
    window.destinationFolder = "";
    TickUntilStopped();
    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.bmp"}));
    ASSERT_EQ(run.Failures().size(), 2u);
    EXPECT_EQ(run.Failures()[1].message, kNoDestinationFolder);
}

TEST_F(BatchRunTest, UnusableStartsAreRefused)
{
    struct Case {
        const char* name;
        std::string sizeText;
        bool emptySource;
        bool emptyDestination;
        std::string message;
    };
    const Case cases[] = {
        {"width not a number", "abc * 3", false, false, "'abc' is not a valid integer value"},
        {"height converted first", "abc * x", false, false, "'x' is not a valid integer value"},
        {"no separator", "800", false, false, "'' is not a valid integer value"},
        {"zero width", "0 * 3", false, false, "图片的宽度和高度至少为 1 像素"},
        {"negative height", "4 * -3", false, false, "图片的宽度和高度至少为 1 像素"},
        {"side above the limit", "65536 * 2", false, false, ""},
        {"too many pixels", "20000 * 20000", false, false, ""},
        {"no source folder", "4 * 3", true, false, kNoSourceFolder},
        {"no destination folder", "4 * 3", false, true, kNoDestinationFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.sizeText = c.sizeText;
        window.sourceFolder = c.emptySource ? "" : source.Path();
        window.destinationFolder = c.emptyDestination ? "" : destination.Path();
        try {
            Run().Toggle();
            ADD_FAILURE() << "started";
        } catch (const Error& error) {
            if (c.message.empty())
                EXPECT_TRUE(std::string(error.what()).starts_with("图片尺寸过大")) << error.what();
            else
                EXPECT_EQ(error.what(), c.message);
        }
        EXPECT_FALSE(run.Running());
        EXPECT_FALSE(window.timerEnabled);
        EXPECT_FALSE(window.progressVisible);
    }
    window.sizeText = "16384 * 16384";
    window.sourceFolder = source.Path();
    window.destinationFolder = destination.Path();
    EXPECT_NO_THROW(run.Toggle());
}

TEST(ProgressText, IsAWholePercentWithoutOverflow)
{
    EXPECT_EQ(ProgressText(1, 3), "33%    ");
    EXPECT_EQ(ProgressText(2, 3), "66%    ");
    EXPECT_EQ(ProgressText(30'000'000, 30'000'000), "100%    ");
}

}  // namespace

}  // namespace picbatch
