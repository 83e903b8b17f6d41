// Test helpers for whole runs: a temporary folder, and small BMP and JPEG files made here.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "imaging/raster.h"
#include "pictures/bmp/bmp.h"
#include "pictures/jpeg/jpeg_image.h"
#include "pictures/load_picture.h"
#include "tests/common/test_picture.h"

namespace picbatch {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "picbatch-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A copy of the file at from, but for its last `missing` bytes, written at to: a file cut short.
inline void WriteCutCopy(const std::string& from, const std::string& to, std::size_t missing)
{
    std::vector<std::uint8_t> bytes = ReadBytes(from);
    bytes.resize(bytes.size() - missing);
    WriteBytes(to, bytes);
}

inline void WriteBmpFile(const std::string& path, const Raster& picture)
{
    WriteBytes(path, EncodeBmp(picture));
}

inline void WriteJpegFile(const std::string& path, const Raster& picture)
{
    JpegImage jpeg;
    jpeg.AssignPicture(picture);
    std::vector<std::uint8_t> bytes;
    jpeg.SaveJpegData(bytes);
    WriteBytes(path, bytes);
}

// The names in a folder.
inline std::set<std::string> FolderNames(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// The picture of a file, loaded as a run loads it.
inline Raster LoadedPicture(const std::string& path)
{
    Raster picture;
    LoadPicture(path, picture);
    return picture;
}

}  // namespace picbatch
