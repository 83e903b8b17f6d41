// Files of a few kilobytes that declare the largest pictures or endless work must convert,
// or fail, within a small bound of memory. Each conversion runs in a child process whose peak
// resident memory the kernel reports when it has ended.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "batch/convert_picture.h"
#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/png/png.h"
#include "tests/batch/picture_files.h"
#include "tests/common/hostile_files.h"
#include "tests/pictures/png_builder.h"

namespace picbatch {

namespace {

// The memory a conversion of a tiny file may add to the process.
constexpr long kPeakBoundKiB = 64 * 1024;

struct ChildRun {
    long peakKiB = 0;   // ru_maxrss: the child's peak resident memory, in KiB
    int exitCode = -1;  // 0 converted, 1 failed with an Error
};

// Runs convert in a child and waits for it. The child starts with the resident pages of this
// process, so what matters is its peak less that of a child that does nothing.
template <class Convert>
ChildRun InChild(const Convert& convert)
{
    const pid_t child = ::fork();
    if (child == 0) {
        int code = 0;
        try {
            convert();
        } catch (const Error&) {
            code = 1;
        }
        ::_exit(code);  // no exit handlers: leak checks belong to the parent
    }
    int status = 0;
    rusage usage{};
    EXPECT_EQ(::wait4(child, &status, 0, &usage), child);
    return {usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(HostileFiles, TinyFilesConvertOrFailInLittleMemory)
{
    std::vector<HostileFile> files = TinyBmpBombs();
    files.push_back({"1001-scans.jpg", ScanFloodJpeg(kHostileSide, 1001)});
    files.push_back({"progressive-444.jpg", ClaimingProgressiveJpeg(kHostileSide, 1)});
    const TempFolder source;
    const TempFolder destination;
    const long idle = InChild([] {}).peakKiB;
    for (const HostileFile& file : files) {
        SCOPED_TRACE(file.name);
        EXPECT_LT(file.bytes.size(), kTinyFileBytes);
        WriteBytes(source / file.name, file.bytes);
        const ChildRun run = InChild([&] {
            CarryOut(PlanConversion(source / file.name, destination / file.name, {800, 600, OutputMode::Jpeg, {}}));
        });
        // BMP files convert (their missing pixels filled in); these JPEGs are refused.
        EXPECT_EQ(run.exitCode, file.name.ends_with(".bmp") ? 0 : 1);
        EXPECT_LT(run.peakKiB - idle, kPeakBoundKiB) << "peak " << run.peakKiB << " KiB, idle " << idle << " KiB";
    }
}

// Under AddressSanitizer every pixel store comes from calloc, which touches all its pages:
// the memory of a store made and left unfilled is not what the release build takes.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kStoresAreTouchedWhenMade = true;
#else
constexpr bool kStoresAreTouchedWhenMade = false;
#endif

// A PNG with alpha whose header declares kHostileSide squared and whose data ends in a
// complete stream of two rows: its decoding fails at the third row.
std::vector<std::uint8_t> FailingAlphaPngBomb()
{
    Raster rows;
    rows.SetPixelForm(PixelForm::Bgra32);
    rows.SetSizeForWriting(kHostileSide, 2);
    for (int y = 0; y < 2; ++y) {
        const auto row = rows.Row(y);
        for (std::size_t i = 3; i < row.size(); i += 4)
            row[i] = 128;  // half transparent: the picture keeps its alpha
    }
    std::vector<std::uint8_t> png = WithDeclaredSize(EncodePng(rows), kHostileSide, kHostileSide);
    // The end chunk goes: the data stops after the two rows.
    png.resize(png.size() - 12);
    return png;
}

// A PNG reader fills only what it decoded before the file failed: a picture that fails
// early costs only its first rows, however large it claims to be.
TEST(HostileFiles, APngThatFailsEarlyCostsOnlyItsFirstRows)
{
    const std::vector<std::uint8_t> png = FailingAlphaPngBomb();
    EXPECT_LT(png.size(), kTinyFileBytes);
    const TempFolder source;
    const TempFolder destination;
    WriteBytes(source / "bomb.png", png);
    const long idle = InChild([] {}).peakKiB;
    const ChildRun run = InChild([&] {
        CarryOut(PlanConversion(source / "bomb.png", destination / "bomb.png", {800, 600, OutputMode::KeepFormat, {}}));
    });
    EXPECT_EQ(run.exitCode, 1);
    if (kStoresAreTouchedWhenMade)
        GTEST_SKIP() << "AddressSanitizer build: calloc touches the whole store, the peak is not the product's";
    EXPECT_LT(run.peakKiB - idle, kPeakBoundKiB) << "peak " << run.peakKiB << " KiB, idle " << idle << " KiB";
}

}  // namespace

}  // namespace picbatch
