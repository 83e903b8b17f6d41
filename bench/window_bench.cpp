// The window's run against picbatch-cli on the same folders, in one process run: wall time of
// a run started with the real start button (offscreen), median of 5 runs alternating with the
// command line's, and the longest stall of the window's event loop over them, seen by a 1 ms
// probe timer. Prints a table; never run by the tests.
//   build/bench/window_bench [PHOTO_FOLDER]   (default: ../shared/corpus/photos)
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/control_names.h"
#include "app/main_window.h"
#include "imaging/raster.h"
#include "pictures/files/file_io.h"
#include "pictures/files/replace_file.h"
#include "pictures/jpeg/jpeg_encoder.h"
#include "pictures/jpeg/jpeg_image.h"

namespace picbatch {
namespace {

namespace fs = std::filesystem;

struct Workload {
    std::string name;
    std::string folder;
    const char* size;  // as the size list and --size take it
};

struct Timing {
    double seconds = 0;
    double longestStallMs = 0;
};

// A run in the window: folders set as the command line sets them, the size picked in the
// list, the start button clicked, the event loop running until the run has ended.
Timing WindowRun(const Workload& work, const std::string& destination)
{
    // The window starts in a folder that stays; the last run's destination is gone by now.
    fs::current_path(fs::temp_directory_path());
    MainWindow window;
    window.show();
    window.OpenSourceFolder(QString::fromStdString(work.folder));
    window.OpenDestinationFolder(QString::fromStdString(destination));
    auto* sizes = window.findChild<QComboBox*>(kSizeListName);
    sizes->addItem(QString::fromLatin1(work.size));
    sizes->setCurrentIndex(sizes->count() - 1);

    Timing timing;
    QElapsedTimer sinceProbe;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        timing.longestStallMs = std::max(timing.longestStallMs, double(sinceProbe.nsecsElapsed()) / 1e6);
        sinceProbe.restart();
    });
    QElapsedTimer clock;
    clock.start();
    sinceProbe.start();
    probe.start(1);
    QTest::mouseClick(window.findChild<QWidget*>(kStartButtonName), Qt::LeftButton);
    // Sleeps in the event loop between events, as the window program's loop does.
    while (window.Run().Running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    timing.seconds = double(clock.nsecsElapsed()) / 1e9;
    probe.stop();
    return timing;
}

double CliRun(const Workload& work, const std::string& destination)
{
    const std::string command = std::string(PICBATCH_CLI_PATH) + " --size '" + work.size + "' '" + work.folder
        + "' '" + destination + "' >/dev/null 2>&1";
    QElapsedTimer clock;
    clock.start();
    if (std::system(command.c_str()) == -1)
        return -1;
    return double(clock.nsecsElapsed()) / 1e9;
}

void WriteJpeg(const std::string& path, int width, int height, bool progressive = false)
{
    Raster picture;
    picture.SetPixelForm(PixelForm::Bgr24);
    picture.SetWidth(width);
    picture.SetHeight(height);
    for (int y = 0; y < height; ++y) {
        auto row = picture.Row(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(x * 7 + y);
            row[3 * x + 1] = static_cast<std::uint8_t>(y * 5);
            row[3 * x + 2] = static_cast<std::uint8_t>((x ^ y) & 0xFF);
        }
    }
    std::vector<std::uint8_t> bytes;
    JpegSettings settings = DefaultJpegSettings();
    settings.progressiveEncoding = progressive;
    EncodeJpegPicture(picture, settings, bytes);
    ReplaceFile(path, bytes);
}

}  // namespace
}  // namespace picbatch

int main(int argc, char** argv)
{
    using namespace picbatch;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The user's remembered folders and sizes stay out of it, and untouched.
    QStandardPaths::setTestModeEnabled(true);
    const std::string photos = argc > 1 ? argv[1] : std::string(PICBATCH_SOURCE_DIR) + "/../shared/corpus/photos";

    QTemporaryDir scratch;
    const std::string root = scratch.path().toStdString();
    std::vector<Workload> workloads;
    workloads.push_back({"W4: 20 photos -> 800x600", photos, "800 * 600"});

    const std::string small = root + "/small";
    fs::create_directory(small);
    WriteJpeg(small + "/0000.jpg", 640, 480);
    for (int i = 1; i < 1000; ++i)
        fs::copy_file(small + "/0000.jpg", small + "/" + std::to_string(1000 + i).substr(1) + ".jpg");
    workloads.push_back({"1000 JPEGs 640x480 -> 320x240", small, "320 * 240"});

    const std::string others = root + "/others";
    fs::create_directory(others);
    for (int i = 0; i < 30000; ++i)
        std::fclose(std::fopen((others + "/note" + std::to_string(i) + ".txt").c_str(), "w"));
    for (int i = 0; i < 10; ++i)
        fs::copy_file(small + "/0000.jpg", others + "/p" + std::to_string(i) + ".jpg");
    workloads.push_back({"30000 other files + 10 JPEGs -> 320x240", others, "320 * 240"});

    const std::string huge = root + "/huge";
    fs::create_directory(huge);
    WriteJpeg(huge + "/big.jpg", 10000, 10000, true);
    workloads.push_back({"one progressive 100-megapixel JPEG -> 800x600", huge, "800 * 600"});

    std::printf("| workload | window | picbatch-cli | ratio | longest stall of the window's event loop | files written |\n");
    std::printf("|---|---|---|---|---|---|\n");
    constexpr int kRuns = 5;  // alternating, medians reported
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    for (const Workload& work : workloads) {
        const std::string byWindow = root + "/out-window";
        const std::string byCli = root + "/out-cli";
        std::vector<double> windowSeconds;
        std::vector<double> cliSeconds;
        Timing window;
        double longestStall = 0;
        for (int run = 0; run < kRuns; ++run) {
            fs::remove_all(byWindow);
            fs::remove_all(byCli);
            fs::create_directory(byWindow);
            const Timing timing = WindowRun(work, byWindow);
            windowSeconds.push_back(timing.seconds);
            longestStall = std::max(longestStall, timing.longestStallMs);
            cliSeconds.push_back(CliRun(work, byCli));
        }
        window.seconds = median(windowSeconds);
        window.longestStallMs = longestStall;
        const double cli = median(cliSeconds);
        const auto count = [](const std::string& folder) {
            return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
        };
        std::printf("| %s | %.2f s | %.2f s | %.2f× | %.1f ms | %ld, %ld |\n", work.name.c_str(), window.seconds, cli,
                    window.seconds / cli, window.longestStallMs, static_cast<long>(count(byWindow)),
                    static_cast<long>(count(byCli)));
        std::fflush(stdout);
    }
    return 0;
}
