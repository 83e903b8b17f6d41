// Runs a fuzz target's entry point over every file of its corpus folder, without libFuzzer:
// the corpus kept in the repository (the tests' seeds and past findings) thereby becomes a
// test of every build, the sanitizer build included. Exits non-zero when the folder holds no
// file, so a misplaced corpus cannot pass unnoticed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++files;
    }
    std::printf("%d files replayed\n", files);
    return files > 0 ? 0 : 1;
}
