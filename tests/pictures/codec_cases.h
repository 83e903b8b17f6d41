// Shared pieces of the PNG and WebP tests: the table of files a reader must refuse, and fuzz
// seeds.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/read_notes.h"
#include "tests/pictures/scratch_folder.h"

namespace picbatch {

// A file a reader refuses, with the exact message and cause.
struct RefusedFile {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string message;
    FailureCause cause;
};

using ReaderOf = std::function<ReadNotes(std::span<const std::uint8_t>, Raster&)>;

// Each file raises its message and cause, and the raster keeps what it held.
inline void ExpectEachRefused(const std::vector<RefusedFile>& files, const ReaderOf& read)
{
    for (const RefusedFile& file : files) {
        SCOPED_TRACE(file.name);
        Raster raster;
        raster.SetPixelForm(PixelForm::Bgr24);
        raster.SetSizeForWriting(2, 2);
        EXPECT_EQ(MessageOf([&] { read(file.bytes, raster); }), file.message);
        EXPECT_EQ(FailureCauseOf([&] { read(file.bytes, raster); }), file.cause);
        EXPECT_EQ(raster.Width(), 2);
    }
}

// Seeds for the fuzz target of the format with extension (".png"), kept in
// $PICBATCH_FUZZ_SEEDS/png; not wanted when the variable is not set.
class FuzzSeeds {
public:
    explicit FuzzSeeds(const std::string& extension) : m_extension(extension)
    {
        const char* root = std::getenv("PICBATCH_FUZZ_SEEDS");
        if (!root || !*root)
            return;
        m_folder = std::filesystem::path(root) / extension.substr(1);
        std::filesystem::create_directories(m_folder);
    }

    bool Wanted() const { return !m_folder.empty(); }

    void Save(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        std::ofstream(m_folder / (name + m_extension), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::string m_extension;
    std::filesystem::path m_folder;
};

}  // namespace picbatch
