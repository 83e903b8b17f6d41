// LoadAndResample resamples JPEG files band by band as they are decoded; every kind of JPEG
// file and every decoder setting must give the bytes of the whole picture loaded first and
// resampled by the reference, and fail with the same messages. ConvertPicture goes on into
// the encoder row by row; it must write the file that loading and then saving writes.
#include "batch/convert_picture.h"

#include <sched.h>

#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <functional>
#include <map>
#include <random>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <string>
#include <vector>

#include "imaging/error.h"
#include "imaging/resample.h"
#include "imaging/resample_path.h"
#include "pictures/save_picture.h"
#include "tests/batch/picture_files.h"
#include "tests/common/jpeg_markers.h"
#include "tests/common/libjpeg_compress.h"
#include "tests/pictures/bmp_builder.h"

namespace picbatch {

namespace {

using Setup = std::function<void(jpeg_compress_struct&)>;

// A scene with detail in every channel; components 1, 3 or 4 samples per pixel.
void Sample(int x, int y, int components, std::uint8_t* out)
{
    for (int c = 0; c < components; ++c)
        out[c] = static_cast<std::uint8_t>((x * (7 + 13 * c) + y * (3 + 5 * c)) ^ (x * y >> c));
}

// A JPEG file written by libjpeg itself, so that the decoder meets files of every layout.
void WriteJpeg(const std::string& path, int width, int height, int components, J_COLOR_SPACE space,
               const Setup& setup = {})
{
    const auto sample = [components](int x, int y, std::uint8_t* out) { Sample(x, y, components, out); };
    WriteBytes(path, LibjpegCompress(width, height, components, space, sample, setup));
}

// The plain way: the whole picture loaded, then resampled by the reference implementation.
Raster Expected(const std::string& path, int width, int height)
{
    Raster picture;
    if (!LoadPicture(path, picture))
        throw Error("File not found");
    return ResampleLanczosOn(picture, width, height, ResamplePath::Reference);
}

// Width, height and every pixel byte equal.
::testing::AssertionResult SamePicture(const Raster& actual, const Raster& expected)
{
    if (actual.Width() != expected.Width() || actual.Height() != expected.Height() || actual.Form() != expected.Form())
        return ::testing::AssertionFailure() << "size or form differs";
    for (int y = 0; y < actual.Height(); ++y) {
        const auto a = actual.Row(y);
        const auto e = expected.Row(y);
        if (!std::equal(a.begin(), a.end(), e.begin()))
            return ::testing::AssertionFailure() << "row " << y << " differs";
    }
    return ::testing::AssertionSuccess();
}

// Decoding alone and with the work on its rows on a second thread must give the same.
// The test pictures are small: the second thread is taken whatever their size.
constexpr Threads kBothThreadings[] = {Threads::One, Threads::TwoAtAnySize};

std::string Describe(Threads threads)
{
    return threads == Threads::One ? "one thread" : "two threads";
}

// The message LoadAndResample fails with, "(no error)" when it succeeds; working must then
// be left empty.
std::string FailureOf(const std::string& path, int width, int height, Threads threads = Threads::One)
{
    Raster working = TestPicture(3, 3, 1, 2, 3);
    try {
        LoadAndResample(path, width, height, working, threads);
    } catch (const Error& error) {
        EXPECT_TRUE(working.Empty()) << path;
        return error.what();
    }
    return "(no error)";
}

std::string ExpectedFailureOf(const std::string& path, int width, int height)
{
    try {
        Expected(path, width, height);
    } catch (const Error& error) {
        return error.what();
    }
    return "(no error)";
}

// Restores the decoder settings every picture starts with.
class SettingsGuard {
public:
    SettingsGuard() : m_saved(DefaultJpegSettings()) {}
    ~SettingsGuard() { DefaultJpegSettings() = m_saved; }
    SettingsGuard(const SettingsGuard&) = delete;
    SettingsGuard& operator=(const SettingsGuard&) = delete;

private:
    JpegSettings m_saved;
};

struct FileCase {
    const char* name;
    int width;
    int height;
    int components;
    J_COLOR_SPACE space;
    Setup setup;
};

const std::vector<FileCase>& FileCases()
{
    static const std::vector<FileCase> cases = {
        {"baseline 4:2:0", 67, 45, 3, JCS_RGB, {}},
        {"baseline, many bands", 300, 203, 3, JCS_RGB, {}},
        {"4:4:4", 40, 33, 3, JCS_RGB,
         [](jpeg_compress_struct& c) { c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1; }},
        {"4:2:2", 41, 30, 3, JCS_RGB, [](jpeg_compress_struct& c) { c.comp_info[0].v_samp_factor = 1; }},
        {"progressive", 90, 71, 3, JCS_RGB, [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); }},
        {"restart markers", 50, 50, 3, JCS_RGB, [](jpeg_compress_struct& c) { c.restart_in_rows = 1; }},
        {"grayscale", 61, 38, 1, JCS_GRAYSCALE, {}},
        {"grayscale progressive", 33, 70, 1, JCS_GRAYSCALE, [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); }},
        {"CMYK with an Adobe marker", 37, 29, 4, JCS_CMYK, {}},
        {"CMYK without an Adobe marker", 37, 29, 4, JCS_CMYK,
         [](jpeg_compress_struct& c) { c.write_Adobe_marker = FALSE; }},
        {"YCCK", 26, 31, 4, JCS_CMYK, [](jpeg_compress_struct& c) { jpeg_set_colorspace(&c, JCS_YCCK); }},
        {"one row", 120, 1, 3, JCS_RGB, {}},
        {"one column", 1, 90, 3, JCS_RGB, {}},
        {"one pixel", 1, 1, 3, JCS_RGB, {}},
    };
    return cases;
}

// Every file of FileCases at a reduction, an enlargement and 1 x 1, against the plain way.
void ExpectEveryFileLikeThePlainWay(const TempFolder& folder, const std::string& settings)
{
    for (const FileCase& c : FileCases()) {
        const std::string path = folder / (std::string(c.name) + ".jpg");
        WriteJpeg(path, c.width, c.height, c.components, c.space, c.setup);
        const int sizes[][2] = {{c.width / 3 + 1, c.height / 2 + 1}, {2 * c.width + 3, c.height + 17}, {1, 1}};
        for (const auto& size : sizes) {
            // Some settings refuse some files (grayscale output of CMYK): alike on both ways.
            const std::string failure = ExpectedFailureOf(path, size[0], size[1]);
            if (failure != "(no error)") {
                EXPECT_EQ(FailureOf(path, size[0], size[1]), failure) << c.name << ", " << settings;
                continue;
            }
            const Raster expected = Expected(path, size[0], size[1]);
            for (const Threads threads : kBothThreadings) {
                Raster working;
                LoadAndResample(path, size[0], size[1], working, threads);
                EXPECT_TRUE(SamePicture(working, expected))
                    << c.name << " -> " << size[0] << "x" << size[1] << ", " << settings << ", " << Describe(threads);
            }
        }
    }
}

}  // namespace

TEST(LoadAndResample, JpegFilesGiveTheBytesOfTheWholePictureResampled)
{
    const TempFolder folder;
    ExpectEveryFileLikeThePlainWay(folder, "default settings");
}

// BMP files of several forms, whole and cut short, RLE files that leave rows out, and broken
// ones: read in bands they give the bytes of the whole picture resampled, and fail alike.
TEST(LoadAndResample, BmpFilesGiveTheBytesOfTheWholePictureResampled)
{
    std::mt19937 random(23);
    const auto uncompressed = [&random](int width, int height, int bits, double kept) {
        BmpBuilder file;
        file.width = width;
        file.height = height;
        file.bitCount = static_cast<std::uint16_t>(bits);
        if (bits <= 8)  // entry 0, the colour of missing pixels, is not black
            file.colorTable.assign(std::size_t{1} << bits, ColorEntry{90, 160, 30, 0});
        if (bits <= 8)
            file.colorTable[1] = ColorEntry{250, 20, 120, 0};
        const auto size = static_cast<double>(RowSizeFor(width, bits) * (height < 0 ? -height : height));
        file.pixels.resize(static_cast<std::size_t>(size * kept));
        for (std::uint8_t& byte : file.pixels)
            byte = static_cast<std::uint8_t>(random());
        return file.Bytes();
    };
    BmpBuilder rle;
    rle.width = 90;
    rle.height = 60;
    rle.bitCount = 8;
    rle.compression = 1;
    rle.colorTable.assign(256, ColorEntry{5, 200, 40, 0});
    rle.colorTable[7] = ColorEntry{0, 0, 255, 0};
    for (int y = 0; y < 20; ++y)  // runs, a delta up three rows, ends of line
        rle.pixels.insert(rle.pixels.end(), {30, 7, 0, 2, 5, 3, 12, 9, 0, 0});
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
    } files[] = {
        {"24-bit", uncompressed(150, 97, 24, 1.0)},
        {"24-bit, cut", uncompressed(150, 97, 24, 0.4)},
        {"24-bit top-down, cut", uncompressed(150, -97, 24, 0.4)},
        {"8-bit, cut", uncompressed(120, 80, 8, 0.3)},
        {"1-bit, cut", uncompressed(200, 50, 1, 0.6)},
        {"RLE8 leaving rows out", rle.Bytes()},
        {"empty", {}},
        {"not a BMP", {'B', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0}},
    };
    const TempFolder folder;
    for (const auto& file : files) {
        const std::string path = folder / (std::string(file.name) + ".bmp");
        WriteBytes(path, file.bytes);
        for (const auto& size : {std::pair{41, 30}, std::pair{333, 120}, std::pair{1, 1}, std::pair{0, 5}}) {
            const std::string failure = ExpectedFailureOf(path, size.first, size.second);
            EXPECT_EQ(FailureOf(path, size.first, size.second), failure) << file.name;
            if (failure != "(no error)")
                continue;
            Raster working;
            LoadAndResample(path, size.first, size.second, working);
            EXPECT_TRUE(SamePicture(working, Expected(path, size.first, size.second)))
                << file.name << " -> " << size.first << "x" << size.second;
        }
    }
}

TEST(LoadAndResample, JpegDecoderSettingsGiveTheSameBytesToo)
{
    const struct {
        const char* name;
        std::function<void(JpegSettings&)> change;
    } cases[] = {
        {"8-bit pixel format", [](JpegSettings& s) { s.pixelFormat = JpegPixelFormat::Bits8; }},
        {"grayscale output", [](JpegSettings& s) { s.grayscale = true; }},
        {"best speed", [](JpegSettings& s) { s.performance = JpegPerformance::BestSpeed; }},
        {"progressive display", [](JpegSettings& s) { s.progressiveDisplay = true; }},
        {"half scale", [](JpegSettings& s) { s.scale = JpegScale::Half; }},
    };
    const TempFolder folder;
    for (const auto& c : cases) {
        const SettingsGuard guard;
        c.change(DefaultJpegSettings());
        ExpectEveryFileLikeThePlainWay(folder, c.name);
    }
}

TEST(LoadAndResample, FailuresAsThePlainWayWithNothingLeftInWorking)
{
    const TempFolder folder;
    const std::string good = folder / "good.jpg";
    WriteJpeg(good, 40, 30, 3, JCS_RGB);
    const std::vector<std::uint8_t> bytes = ReadBytes(good);
    const std::string cut = folder / "cut.jpg";  // ends halfway through the scan: decodes
    WriteBytes(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() * 2 / 3)));
    const std::string header = folder / "header only.jpg";  // no scan at all
    WriteBytes(header, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 20));
    std::vector<std::uint8_t> badTable = bytes;  // SOI then garbage where the markers were
    std::fill(badTable.begin() + 2, badTable.begin() + 40, 0x55);
    const std::string garbage = folder / "garbage.jpg";
    WriteBytes(garbage, badTable);
    const std::string empty = folder / "empty.jpg";
    WriteBytes(empty, {});

    const struct {
        const char* name;
        std::string path;
        int width, height;
        const char* message;  // null: the plain way's message, which must not be "(no error)"
    } cases[] = {
        {"missing file", folder / "missing.jpg", 5, 5, "File not found"},
        {"empty file", empty, 5, 5, nullptr},
        {"header only", header, 5, 5, nullptr},
        {"garbage", garbage, 5, 5, nullptr},
        {"invalid size", good, 0, 5, kInvalidTargetSize},
        {"the file's error before the size's", garbage, 0, 5, nullptr},
    };
    for (const auto& c : cases) {
        const std::string expected = c.message ? c.message : ExpectedFailureOf(c.path, c.width, c.height);
        EXPECT_NE(expected, "(no error)") << c.name;
        for (const Threads threads : kBothThreadings)
            EXPECT_EQ(FailureOf(c.path, c.width, c.height, threads), expected) << c.name << ", " << Describe(threads);
    }
    Raster working;
    LoadAndResample(cut, 7, 9, working);
    EXPECT_TRUE(SamePicture(working, Expected(cut, 7, 9))) << "cut file";
}

// The file is read in portions as the decoder needs it: markers and scans that straddle
// portions, and files cut anywhere, must decode as the whole file held in memory does.
TEST(LoadAndResample, FilesReadInPortionsDecodeAsWholeFiles)
{
    const TempFolder folder;
    const std::string plain = folder / "plain.jpg";
    WriteJpeg(plain, 700, 500, 3, JCS_RGB);
    const std::vector<std::uint8_t> scan = ReadBytes(plain);
    ASSERT_GT(scan.size(), std::size_t{65537}) << "the scan alone must take more than one portion";
    // Three application markers of the greatest length after SOI: libjpeg skips them.
    std::vector<std::uint8_t> marked(scan.begin(), scan.begin() + 2);
    for (int m = 0; m < 3; ++m) {
        marked.insert(marked.end(), {0xFF, 0xE5, 0xFF, 0xFF});
        marked.insert(marked.end(), 65533, static_cast<std::uint8_t>(m));
    }
    marked.insert(marked.end(), scan.begin() + 2, scan.end());
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {{"plain", scan}, {"marked", marked}};
    for (const std::size_t cut : {std::size_t{65536}, std::size_t{65537}, scan.size() - 1}) {
        files.push_back({"cut at " + std::to_string(cut), {scan.begin(), scan.begin() + static_cast<long>(cut)}});
    }
    for (const auto& [name, bytes] : files) {
        const std::string path = folder / (name + ".jpg");
        WriteBytes(path, bytes);
        for (const Threads threads : kBothThreadings) {
            Raster working;
            LoadAndResample(path, 97, 61, working, threads);
            EXPECT_TRUE(SamePicture(working, Expected(path, 97, 61))) << name << ", " << Describe(threads);
        }
    }
}

namespace {

// What a conversion leaves behind: its error ("(no error)", the folder's path in it written
// as "DEST/") and the bytes of each file of the folder, by name.
struct Outcome {
    std::string error;
    std::map<std::string, std::vector<std::uint8_t>> files;
};

Outcome OutcomeOf(const std::function<void()>& convert, const std::string& folder)
{
    Outcome outcome{"(no error)", {}};
    try {
        convert();
    } catch (const Error& error) {
        outcome.error = error.what();
        if (const auto at = outcome.error.find(folder); at != std::string::npos)
            outcome.error.replace(at, folder.size(), "DEST/");
    }
    for (const std::string& name : FolderNames(folder))
        outcome.files[name] = ReadBytes(folder + "/" + name);
    return outcome;
}

// ConvertPicture into one new folder, and LoadAndResample then SavePicture into another,
// must end alike, and note an incomplete source alike (as `incomplete` says). destination is
// the entry's name within each folder (a missing subfolder tests the writer's errors).
void ExpectConvertsLikeLoadThenSave(const std::string& source, int width, int height, const std::string& destination,
                                    OutputMode mode, const std::string& what, bool incomplete = false)
{
    const TempFolder plain;
    ConversionNotes plainNotes;
    const Outcome expected = OutcomeOf(
        [&] {
            Raster picture;
            LoadAndResample(source, width, height, picture, Threads::One, &plainNotes);
            SavePicture(picture, plain / destination, mode);
        },
        plain / "");
    EXPECT_EQ(plainNotes.incompleteSource, incomplete) << what << ", loaded then saved";
    for (const Threads threads : kBothThreadings) {
        const TempFolder streamed;
        ConversionNotes notes;
        const Outcome actual = OutcomeOf(
            [&] { notes = CarryOut(PlanConversion(source, streamed / destination, {width, height, mode, {}}, threads)); },
            streamed / "");
        EXPECT_EQ(actual.error, expected.error) << what << ", " << Describe(threads);
        EXPECT_TRUE(actual.files == expected.files) << what << ", " << Describe(threads) << ": the files written differ";
        EXPECT_EQ(notes.incompleteSource, incomplete) << what << ", " << Describe(threads);
    }
}

}  // namespace

TEST(ConvertPicture, WritesTheFileOfLoadingThenSaving)
{
    const TempFolder folder;
    const struct {
        const char* name;
        std::function<void(JpegSettings&)> change;
    } settings[] = {
        {"default settings", [](JpegSettings&) {}},
        {"8-bit pixel format", [](JpegSettings& s) { s.pixelFormat = JpegPixelFormat::Bits8; }},
        {"grayscale", [](JpegSettings& s) { s.grayscale = true; }},
        {"progressive display and encoding",
         [](JpegSettings& s) { s.progressiveDisplay = s.progressiveEncoding = true; }},
    };
    for (const auto& setting : settings) {
        const SettingsGuard guard;
        setting.change(DefaultJpegSettings());
        for (const FileCase& c : FileCases()) {
            const std::string path = folder / (std::string(c.name) + ".jpg");
            WriteJpeg(path, c.width, c.height, c.components, c.space, c.setup);
            const std::string what = std::string(c.name) + ", " + setting.name;
            ExpectConvertsLikeLoadThenSave(path, c.width / 3 + 1, c.height / 2 + 1, "out.jpg", OutputMode::KeepFormat,
                                           what);
            // Every file is written and flushed: the other ways once, at the default settings.
            if (setting.name != settings[0].name)
                continue;
            ExpectConvertsLikeLoadThenSave(path, 2 * c.width + 3, 1, "out.bmp", OutputMode::Jpeg, what + ", to JPEG");
            ExpectConvertsLikeLoadThenSave(path, 1, 1, "out.jpg", OutputMode::Bmp, what + ", to BMP");
        }
    }
    const std::string bmp = folder / "picture.bmp";
    WriteBmpFile(bmp, TestPicture(30, 20, 10, 200, 90));
    ExpectConvertsLikeLoadThenSave(bmp, 7, 5, "out.bmp", OutputMode::Jpeg, "BMP to JPEG");
}

TEST(ConvertPicture, FailsAsLoadingThenSaving)
{
    const TempFolder folder;
    const std::string good = folder / "good.jpg";
    WriteJpeg(good, 40, 30, 3, JCS_RGB);
    std::vector<std::uint8_t> bytes = ReadBytes(good);
    std::fill(bytes.begin() + 2, bytes.begin() + 40, 0x55);
    const std::string garbage = folder / "garbage.jpg";
    WriteBytes(garbage, bytes);

    const struct {
        const char* name;
        std::string source;
        int width, height;
        std::string destination;
    } cases[] = {
        {"missing file", folder / "missing.jpg", 5, 5, "out.jpg"},
        {"garbage", garbage, 5, 5, "out.jpg"},
        {"invalid size", good, 5, 0, "out.jpg"},
        {"no destination folder", good, 5, 5, "missing/out.jpg"},
        {"the file's error before the folder's", garbage, 5, 5, "missing/out.jpg"},
        {"wider than a JPEG can be", good, 65501, 1, "out.jpg"},
        {"name too short for a picture", good, 5, 5, "a.j"},
    };
    for (const auto& c : cases) {
        ExpectConvertsLikeLoadThenSave(c.source, c.width, c.height, c.destination, OutputMode::KeepFormat, c.name);
    }
}

// A source that ends early is written as it always was, on every road (streamed into the
// encoder, loaded whole, decoded whole for progressive display) and on one or two threads,
// and the conversion says that it was incomplete; whole files say nothing.
TEST(ConvertPicture, IncompleteSourcesAreWrittenAsEverAndNoted)
{
    const TempFolder folder;
    const std::string baseline = folder / "baseline.jpg";
    WriteJpeg(baseline, 120, 90, 3, JCS_RGB);
    const std::string progressive = folder / "progressive.jpg";
    WriteJpeg(progressive, 120, 90, 3, JCS_RGB, [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); });
    const std::vector<std::uint8_t> scan = ReadBytes(baseline);
    const std::vector<std::uint8_t> scans = ReadBytes(progressive);
    const std::size_t sos = FindMarker(scan, 0xDA);
    const std::string bmp = folder / "picture.bmp";
    WriteBmpFile(bmp, TestPicture(30, 20, 10, 200, 90));
    const std::vector<std::uint8_t> bmpBytes = ReadBytes(bmp);

    const struct {
        const char* name;
        std::string source;
        std::vector<std::uint8_t> bytes;  // empty: the source as written
        bool incomplete;
    } cases[] = {
        {"whole JPEG", baseline, {}, false},
        {"JPEG cut just after the scan header", "cut1.jpg", CutAt(scan, sos + 20), true},
        {"JPEG cut a third into the scan", "cut2.jpg", CutAt(scan, sos + (scan.size() - sos) / 3), true},
        {"JPEG cut just before its end", "cut3.jpg", CutAt(scan, scan.size() - 10), true},
        {"JPEG without its end marker", "cut4.jpg", CutAt(scan, scan.size() - 2), true},
        {"whole progressive JPEG", progressive, {}, false},
        {"progressive JPEG cut after its first scan", "cut5.jpg", CutAt(scans, FindMarker(scans, 0xDA, sos + 2)),
         true},
        {"whole BMP", bmp, {}, false},
        {"BMP without its top row", "cut.bmp", CutAt(bmpBytes, bmpBytes.size() - 92), true},
        {"BMP cut inside its top row", "cut2.bmp", CutAt(bmpBytes, bmpBytes.size() - 40), true},
    };
    const struct {
        const char* name;
        std::function<void(JpegSettings&)> change;
    } settings[] = {
        {"default settings", [](JpegSettings&) {}},
        {"progressive display", [](JpegSettings& s) { s.progressiveDisplay = true; }},
    };
    for (const auto& setting : settings) {
        const SettingsGuard guard;
        setting.change(DefaultJpegSettings());
        for (const auto& c : cases) {
            std::string path = c.source;
            if (!c.bytes.empty()) {
                path = folder / c.source;
                WriteBytes(path, c.bytes);
            }
            const std::string what = std::string(c.name) + ", " + setting.name;
            ExpectConvertsLikeLoadThenSave(path, 37, 23, "out.jpg", OutputMode::Jpeg, what, c.incomplete);
            ExpectConvertsLikeLoadThenSave(path, 37, 23, "out.bmp", OutputMode::Bmp, what + ", to BMP", c.incomplete);
            // The loader alone, which decodes a JPEG whole.
            ReadNotes notes;
            Raster picture;
            ASSERT_TRUE(LoadPicture(path, picture, &notes)) << what;
            EXPECT_EQ(notes.incomplete, c.incomplete) << what << ", loaded whole";
        }
    }
}

TEST(ConvertPicture, SecondThreadOnlyOnACoreOfItsOwn)
{
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    const int cores = CPU_COUNT(&allowed);
    EXPECT_EQ(ThreadsPerConversion(1), cores > 1 ? Threads::Two : Threads::One);
    EXPECT_EQ(ThreadsPerConversion(cores), Threads::One);

    // Confined to one core (as by taskset), the conversion keeps to one thread.
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            CPU_SET(cpu, &one);
            break;
        }
    }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const Threads confined = ThreadsPerConversion(1);
    ASSERT_EQ(sched_setaffinity(0, sizeof allowed, &allowed), 0);
    EXPECT_EQ(confined, Threads::One);
}

}  // namespace picbatch
