// The batch run driven headless through a fake window, over real files in temporary folders.
#include "batch/batch_run.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

#include "batch/source_listing.h"
#include "imaging/error.h"
#include "imaging/orientation.h"
#include "imaging/resample.h"
#include "pictures/picture_format.h"
#include "tests/batch/fake_run_window.h"
#include "tests/batch/picture_files.h"
#include "tests/common/tagged_jpeg.h"

namespace picbatch {

namespace {

class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.sourceFolder = source.Path();
        window.destinationFolder = destination.Path();
    }
    // Workers blocked at the gate must be let go before the run is destroyed.
    void TearDown() override { gate.Open(); }

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
    // Lets the workers go, waits for them and shows the end as the next tick does.
    void FinishRun()
    {
        gate.Open();
        run.WaitForWorkers();
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
    EntryGate gate;
    // One worker, stepped by the gate, so that the tests know which pictures are done.
    BatchRun run{window, listing, {1, [this] { gate.Pass(); }}};
};

std::string LastText(const FakeWindow& window)
{
    return window.progressTexts.empty() ? "<none>" : window.progressTexts.back();
}

std::vector<std::uint8_t> EncodedJpeg(const Raster& picture)
{
    return EncodeToBytes(FormatOf("JPEG"), picture);
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
    EXPECT_TRUE(window.running);
    EXPECT_EQ(window.progressMaximum, 3);
    EXPECT_EQ(window.startHint, kHintStop);

    // The bar and the percentage follow the entries done; the text file costs nothing.
    gate.Allow(1);
    run.WaitForEntries(1);
    run.Tick();
    EXPECT_EQ(window.progressPosition, 1);
    EXPECT_EQ(LastText(window), "33%    ");
    gate.Allow(1);
    run.WaitForEntries(3);
    run.Tick();
    EXPECT_EQ(window.progressPosition, 3);
    EXPECT_EQ(LastText(window), "100%    ");

    FinishRun();
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_FALSE(window.progressVisible);
    EXPECT_FALSE(window.running);
    EXPECT_EQ(window.startHint, kHintStart);
    EXPECT_TRUE(window.reports.empty());
    // The summary stays in the window until something changes.
    EXPECT_EQ(LastText(window), "完成：转换 2 张，失败 0 张");
    EXPECT_EQ(run.Summary(), LastText(window));
    EXPECT_EQ(window.summaries, std::vector<std::string>{run.Summary()});
    run.ClearSummary();
    EXPECT_EQ(LastText(window), "");

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

TEST_F(BatchRunTest, SecondToggleStopsAndTheNextStartBeginsAtTheFirstEntry)
{
    AddBmps({"a.bmp", "b.bmp", "c.bmp"});
    Run().Toggle();
    gate.Allow(1);
    run.WaitForEntries(1);
    run.Toggle();
    // The window looks stopped at once; no picture starts any more.
    EXPECT_TRUE(run.Stopping());
    EXPECT_FALSE(window.progressVisible);
    EXPECT_FALSE(window.running);
    EXPECT_EQ(window.startHint, kHintStart);
    FinishRun();
    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.bmp"}));
    EXPECT_EQ(LastText(window), "已停止：转换 1 张，失败 0 张");

    run.Tick();  // a late timer event does nothing once stopped
    std::filesystem::remove(destination / "A.bmp");
    run.Toggle();
    FinishRun();
    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.bmp", "B.bmp", "C.bmp"}));
    EXPECT_EQ(LastText(window), "完成：转换 3 张，失败 0 张");
}

TEST_F(BatchRunTest, OutputChoiceAndDestinationChangedMidRunApplyToPicturesNotStarted)
{
    AddBmps({"a.bmp", "b.bmp", "c.bmp"});
    TempFolder other;
    Run().Toggle();
    gate.Allow(1);
    run.WaitForEntries(1);
    window.mode = OutputMode::Jpeg;
    run.Tick();  // the timer passes the change on
    gate.Allow(1);
    run.WaitForEntries(2);
    window.destinationFolder = other.Path();
    run.Tick();
    FinishRun();
    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.bmp", "B.jpg"}));
    EXPECT_EQ(FolderNames(other.Path()), (std::set<std::string>{"C.jpg"}));
}

TEST_F(BatchRunTest, OptionsChangedMidRunApplyToPicturesNotStarted)
{
    // Three pictures stored turned a quarter (8 x 6 stored, 6 x 8 upright); the size is 4 x 3.
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
        WriteBytes(source / name, TaggedJpeg(8, 6, [](int x, int y, std::uint8_t* bgr) { std::fill_n(bgr, 3, 30 * x + y); },
                                             ExifBlock(6), {}));
    }
    Run().Toggle();
    gate.Allow(1);
    run.WaitForEntries(1);
    window.options.orientation = OrientationChoice::Keep;
    run.Tick();  // the timer passes the change on
    gate.Allow(1);
    run.WaitForEntries(2);
    window.options = {};
    run.Tick();
    FinishRun();
    const auto converted = [&](const char* name, Orientation orientation) {
        Raster stored = LoadedPicture(source / name);
        Raster upright = Upright(stored, orientation);
        return EncodedJpeg(ResampleLanczos(upright, 4, 3));
    };
    EXPECT_EQ(ReadBytes(destination / "A.jpg"), converted("a.jpg", Orientation::Rotate90));
    EXPECT_EQ(ReadBytes(destination / "B.jpg"), converted("b.jpg", Orientation::Normal));
    EXPECT_EQ(ReadBytes(destination / "C.jpg"), converted("c.jpg", Orientation::Rotate90));
}

TEST_F(BatchRunTest, ANewSourceFolderMidRunIsWalkedFromTheNextEntry)
{
    AddBmps({"a.bmp", "b.bmp", "c.bmp"});
    TempFolder second;
    for (const char* name : {"x.bmp", "y.bmp", "z.bmp"})
        WriteBmpFile(second / name, TestPicture(8, 6, 1, 2, 3));
    Run().Toggle();
    gate.Allow(1);
    run.WaitForEntries(1);
    listing.SelectFolder(second.Path());
    window.sourceFolder = second.Path();
    run.Tick();
    FinishRun();
    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.bmp", "Y.bmp", "Z.bmp"}));
}

TEST_F(BatchRunTest, AFolderWithoutPicturesSaysSo)
{
    WriteBytes(source / "notes.txt", {'x'});
    Run().Toggle();
    EXPECT_EQ(window.progressMaximum, 1);
    FinishRun();
    EXPECT_EQ(LastText(window), NoPicturesText());
    EXPECT_TRUE(window.reports.empty());
}

TEST_F(BatchRunTest, ClosingEndsTheRunWithoutAReport)
{
    AddBmps({"a.bmp", "b.bmp"});
    WriteBytes(source / "c.bmp", {'B', 'M', 0});
    Run().Toggle();
    gate.Open();
    run.RequestClose();  // returns once the pictures being converted are done
    EXPECT_FALSE(run.Running());
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_TRUE(window.reports.empty());
    run.Tick();
    EXPECT_TRUE(window.reports.empty());
}

TEST_F(BatchRunTest, FailingEntriesAreReportedOnceAndSkipped)
{
    WriteJpegFile(source / "a.jpg", TestPicture(8, 6, 10, 20, 30));
    WriteBytes(source / "b.jpg", {0xFF, 0xD8, 'n', 'o', 't'});
    AddBmps({"c.bmp", "d.bmp"});
    Run().Toggle();
    std::filesystem::remove(source / "c.bmp");  // vanishes after the listing was taken
    FinishRun();

    EXPECT_EQ(FolderNames(destination.Path()), (std::set<std::string>{"A.jpg", "D.bmp"}));
    ASSERT_EQ(run.Failures().size(), 2u);
    EXPECT_EQ(run.Failures()[0].name, "b.jpg");
    EXPECT_TRUE(run.Failures()[0].message.starts_with("JPEG error #")) << run.Failures()[0].message;
    EXPECT_EQ(run.Failures()[1].name, "c.bmp");
    EXPECT_EQ(run.Failures()[1].message, "File not found（文件不存在，可能已被移动或删除）");
    ASSERT_EQ(window.reports.size(), 1u);
    EXPECT_EQ(window.reports[0], FailureReportText(run.Failures()));
    EXPECT_EQ(LastText(window), "完成：转换 2 张，失败 2 张");
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
    FinishRun();

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
    std::filesystem::remove(destination / "D.jpg");
    Run().Toggle();
    FinishRun();
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
    FinishRun();

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

// With the destination the source folder itself, or a link to it, no original is replaced:
// not a picture's own file (its name already has an upper-case stem), not another entry's.
TEST_F(BatchRunTest, OriginalsAreNeverReplaced)
{
    WriteJpegFile(source / "P.jpg", TestPicture(8, 6, 0, 0, 250));
    WriteBmpFile(source / "p.bmp", TestPicture(8, 6, 250, 0, 0));  // would become P.jpg too
    WriteBmpFile(source / "q.bmp", TestPicture(8, 6, 0, 250, 0));  // becomes Q.jpg, a new file
    const std::vector<std::uint8_t> original = ReadBytes(source / "P.jpg");
    std::filesystem::create_directory_symlink(source.Path(), destination / "link");
    window.mode = OutputMode::Jpeg;

    for (const std::string& folder : {source.Path(), destination / "link"}) {
        SCOPED_TRACE(folder);
        std::filesystem::remove(source / "Q.jpg");
        window.destinationFolder = folder;
        Run().Toggle();
        FinishRun();
        EXPECT_EQ(ReadBytes(source / "P.jpg"), original);
        EXPECT_EQ(LoadedPicture(source / "Q.jpg").Width(), 4);
        ASSERT_EQ(run.Failures().size(), 2u);  // in listing order: p.bmp, P.jpg, q.bmp
        EXPECT_EQ(run.Failures()[0].name, "p.bmp");
        EXPECT_EQ(run.Failures()[0].message, OtherSourceMessage("P.jpg"));
        EXPECT_EQ(run.Failures()[1].name, "P.jpg");
        EXPECT_EQ(run.Failures()[1].message, OwnSourceMessage("P.jpg"));
    }
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

// The size list's words and percentages become the request's size form; a stored text out of
// range is refused as the custom size dialog refuses it.
TEST_F(BatchRunTest, SizeTextsBecomeTheRequestsForm)
{
    const struct {
        std::string sizeText;
        SizeForm form;
        int width;
        int height;
        int percent;
    } cases[] = {
        {"宽 1600，高按比例", SizeForm::Width, 1600, 0, 0},
        {"高 900，宽按比例", SizeForm::Height, 0, 900, 0},
        {"50%", SizeForm::Percent, 0, 0, 50},
        {"800 * 600  （自定义尺寸）", SizeForm::Box, 800, 600, 0},
    };
    AddBmps({"a.bmp"});
    window.options.quality = 70;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sizeText);
        window.sizeText = c.sizeText;
        Run().Toggle();
        const ConversionRequest& request = run.Settings().request;
        EXPECT_EQ(request.form, c.form);
        EXPECT_EQ(request.width, c.width);
        EXPECT_EQ(request.height, c.height);
        EXPECT_EQ(request.percent, c.percent);
        EXPECT_EQ(request.options.quality, 70);
        // Options changed during the run reach it at a tick; the size stays as started.
        window.options.quality = 60;
        window.sizeText = "4 * 3";
        run.Tick();
        EXPECT_EQ(run.Settings().request.options.quality, 60);
        EXPECT_EQ(run.Settings().request.form, c.form);
        EXPECT_EQ(run.Settings().request.percent, c.percent);
        FinishRun();
        window.options.quality = 70;
    }
    window.sizeText = "1001%";
    EXPECT_THROW(Run().Toggle(), Error);
    EXPECT_FALSE(run.Running());
}

TEST(RunSummaryText, CountsConvertedAndFailedPictures)
{
    EXPECT_EQ(RunSummaryText(false, 20, 2), "完成：转换 18 张，失败 2 张");
    EXPECT_EQ(RunSummaryText(true, 5, 0), "已停止：转换 5 张，失败 0 张");
    EXPECT_EQ(RunSummaryText(false, 3, 0, 1), "完成：转换 3 张，失败 0 张，警告 1 张");
    EXPECT_EQ(RunSummaryText(false, 0, 0), NoPicturesText());
    EXPECT_EQ(NoPicturesText(), "源文件夹中没有 BMP、JPEG、PNG 或 WebP 图片");
}

TEST(ProgressText, IsAWholePercentWithoutOverflow)
{
    EXPECT_EQ(ProgressText(1, 3), "33%    ");
    EXPECT_EQ(ProgressText(2, 3), "66%    ");
    EXPECT_EQ(ProgressText(30'000'000, 30'000'000), "100%    ");
}

}  // namespace

}  // namespace picbatch

namespace picbatch {
namespace {

// The options dialog's tree, name and up-to-date choices reach the window's run: a stopped
// run started again goes on where it stopped, and the summary counts what was left.
TEST_F(BatchRunTest, SubfoldersNamesAndUpToDateOutputsInTheWindow)
{
    std::filesystem::create_directories(source / "sub/deeper");
    AddBmps({"a.bmp", "sub/b.bmp", "sub/deeper/c.bmp"});
    // Older than any output: the file system's clock may give a file written a moment later
    // the same time, which is not newer.
    for (const char* name : {"a.bmp", "sub/b.bmp", "sub/deeper/c.bmp"}) {
        const timespec old[2] = {{1000, 0}, {1000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (source / name).c_str(), old, 0), 0);
    }
    window.options.recursive = true;
    window.options.skipUpToDate = true;
    window.options.nameTemplate = "{n}-{name}";
    Run().Toggle();
    FinishRun();
    EXPECT_EQ(run.Summary(), "完成：转换 3 张，失败 0 张");
    EXPECT_TRUE(std::filesystem::is_regular_file(destination / "1-a.bmp"));
    EXPECT_TRUE(std::filesystem::is_regular_file(destination / "sub/2-b.bmp"));
    EXPECT_TRUE(std::filesystem::is_regular_file(destination / "sub/deeper/3-c.bmp"));

    std::filesystem::remove(destination / "sub/2-b.bmp");
    Run().Toggle();
    FinishRun();
    EXPECT_EQ(run.Summary(), "完成：转换 1 张，失败 0 张，已是最新 2 张");

    window.options.nameTemplate = "{x}";
    EXPECT_THROW(Run().Toggle(), Error);
    EXPECT_FALSE(run.Running());
}

}  // namespace
}  // namespace picbatch
