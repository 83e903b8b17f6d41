// Listing a folder of 10,000 picture files: enumeration, filtering and the locale-aware
// sort, as a folder choice does it. Run: build-dir/bench/listing_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "batch/source_listing.h"

namespace picbatch {

namespace fs = std::filesystem;

namespace {

constexpr int kFileCount = 10'000;

// A scratch folder with kFileCount small files under camera-like mixed-case names, created
// in shuffled order so the file system does not hand them out sorted, plus an empty folder.
class Fixture {
public:
    Fixture()
    {
        std::string pattern = (fs::temp_directory_path() / "listing_bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_root = fs::canonical(pattern);
        fs::create_directory(m_root / "big");
        fs::create_directory(m_root / "empty");
        std::vector<int> order(kFileCount);
        for (int i = 0; i < kFileCount; ++i)
            order[i] = i;
        std::shuffle(order.begin(), order.end(), std::mt19937{42});
        for (int i : order) {
            const std::string name = (i % 3 == 0 ? "IMG_" : i % 3 == 1 ? "img_" : "Scan ")
                + std::to_string(i) + (i % 2 ? ".JPG" : ".bmp");
            std::ofstream(m_root / "big" / name) << "x";
        }
    }
    ~Fixture()
    {
        std::error_code ignored;
        fs::current_path(fs::temp_directory_path(), ignored);
        fs::remove_all(m_root, ignored);
    }
    std::string Big() const { return (m_root / "big").string(); }
    std::string Empty() const { return (m_root / "empty").string(); }

private:
    fs::path m_root;
};

Fixture& Folders()
{
    static Fixture fixture;
    return fixture;
}

void BM_ListFolderFiles(benchmark::State& state)
{
    const std::string folder = Folders().Big();
    for (auto _ : state) {
        auto names = ListFolderFiles(folder);
        benchmark::DoNotOptimize(names.data());
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_ListFolderFiles)->Unit(benchmark::kMillisecond);

// A folder choice in a fresh window: the start folder (empty) is listed first, then the
// chosen folder is entered and taken.
void BM_SelectFolder(benchmark::State& state)
{
    const std::string folder = Folders().Big();
    for (auto _ : state) {
        fs::current_path(Folders().Empty());
        SourceListing listing;
        listing.SelectFolder(folder);
        if (listing.Count() != kFileCount)
            state.SkipWithError("wrong count");
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_SelectFolder)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace picbatch

BENCHMARK_MAIN();
