// Time and peak memory of a picbatch-cli build converting hostile files: tiny BMPs that
// declare 16384 x 16384 pictures, JPEGs with a thousand scans or a coefficient store beyond
// the decoder's memory cap, and a real 16384 x 16384 24-bit BMP. Each file is converted alone,
// in a folder of its own, by a child process whose peak resident memory is its ru_maxrss.
//
// Usage: bomb_bench PICBATCH_CLI [SIZE [--no-large]]     (SIZE: 800x600 by default)
// Run it with the old and the new build for figures before and after.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tests/common/hostile_files.h"

namespace {

using namespace picbatch;
namespace fs = std::filesystem;

struct Figures {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system: what the conversion cost on a busy machine
    double peakMiB = 0;
    int status = -1;
};

// Runs cli on the folder holding one file and waits for it.
Figures Convert(const std::string& cli, const std::string& size, const fs::path& folder)
{
    const fs::path source = folder / "source";
    const fs::path output = folder / "output";
    const fs::path log = folder / "log";
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::execl(cli.c_str(), cli.c_str(), "--size", size.c_str(), "--jobs", "1", source.c_str(), output.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    Figures figures;
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto cpu = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    figures.cpuSeconds = cpu(usage.ru_utime) + cpu(usage.ru_stime);
    figures.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
    figures.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return figures;
}

// The line of the log that names the file's failure or warning, if any.
std::string Outcome(const fs::path& log)
{
    std::ifstream in(log);
    std::string line;
    std::string last;
    while (std::getline(in, line)) {
        // The picture's own line, before the summary.
        if (line.find(".bmp") != std::string::npos || line.find(".jpg") != std::string::npos)
            return line.substr(0, 160);
        if (!line.empty())
            last = line;
    }
    return last;
}

void Report(const std::string& name, std::uintmax_t bytes, const Figures& figures, const fs::path& log)
{
    std::printf("%-28s %12ju %9.2f %9.2f %10.1f %4d  %s\n", name.c_str(), bytes, figures.seconds, figures.cpuSeconds,
                figures.peakMiB, figures.status, Outcome(log).c_str());
    std::fflush(stdout);
}

void Run(const std::string& cli, const std::string& size, const fs::path& work, const HostileFile& file)
{
    const fs::path folder = work / file.name;
    fs::create_directories(folder / "source");
    std::ofstream(folder / "source" / file.name, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
    Report(file.name, file.bytes.size(), Convert(cli, size, folder), folder / "log");
    fs::remove_all(folder);
}

// A 16384 x 16384 24-bit bottom-up BMP of a gradient, written a row at a time (805 MB).
void WriteLargeBmp(const fs::path& path)
{
    BmpBuilder header;
    header.width = kHostileSide;
    header.height = kHostileSide;
    const std::int64_t rowBytes = std::int64_t{kHostileSide} * 3;
    std::vector<std::uint8_t> bytes = header.Bytes();
    const std::uint32_t total = static_cast<std::uint32_t>(bytes.size() + rowBytes * kHostileSide);
    for (int i = 0; i < 4; ++i)
        bytes[2 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(total >> (8 * i));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::vector<char> row(static_cast<std::size_t>(rowBytes));
    for (int y = 0; y < kHostileSide; ++y) {
        for (int x = 0; x < kHostileSide; ++x) {
            row[static_cast<std::size_t>(3 * x)] = static_cast<char>(x);
            row[static_cast<std::size_t>(3 * x + 1)] = static_cast<char>(y);
            row[static_cast<std::size_t>(3 * x + 2)] = static_cast<char>((x ^ y) >> 6);
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: bomb_bench PICBATCH_CLI [SIZE [--no-large]]\n";
        return 2;
    }
    const std::string cli = fs::absolute(argv[1]).string();
    const std::string size = argc > 2 ? argv[2] : "800x600";
    const bool large = !(argc > 3 && std::string(argv[3]) == "--no-large");
    const fs::path work = fs::temp_directory_path() / ("bomb_bench." + std::to_string(::getpid()));
    fs::create_directories(work);

    std::printf("%s to %s\n%-28s %12s %9s %9s %10s %4s  %s\n", cli.c_str(), size.c_str(), "file", "bytes", "seconds",
                "cpu s", "peak MiB", "exit", "outcome");
    for (const HostileFile& file : TinyBmpBombs())
        Run(cli, size, work, file);
    Run(cli, size, work, {"1001-scans.jpg", ScanFloodJpeg(kHostileSide, 1001)});
    Run(cli, size, work, {"progressive-444.jpg", ClaimingProgressiveJpeg(kHostileSide, 1)});
    if (large) {
        const fs::path folder = work / "large";
        fs::create_directories(folder / "source");
        WriteLargeBmp(folder / "source" / "large-24-bit.bmp");
        Report("large-24-bit.bmp", fs::file_size(folder / "source" / "large-24-bit.bmp"), Convert(cli, size, folder),
               folder / "log");
    }
    fs::remove_all(work);
    return 0;
}
