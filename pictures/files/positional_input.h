// Bytes read at any offset as a reader needs them: an open file through pread, or bytes that
// are in memory already (tests, fuzz targets).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pictures/files/file_io.h"

namespace picbatch {

class PositionalInput {
public:
    virtual ~PositionalInput() = default;
    // The size when the input was opened.
    virtual std::int64_t Size() const = 0;
    // Exactly count bytes from offset (0 <= offset, offset + count <= Size()) into out.
    // Throws Error "Stream read error" when they cannot be read (also when the file has
    // shrunk meanwhile).
    virtual void ReadAt(std::int64_t offset, std::uint8_t* out, std::int64_t count) = 0;
};

class MemoryInput final : public PositionalInput {
public:
    explicit MemoryInput(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }
    void ReadAt(std::int64_t offset, std::uint8_t* out, std::int64_t count) override;

private:
    std::span<const std::uint8_t> m_bytes;
};

class FileInput final : public PositionalInput {
public:
    // Opens path with OpenFileForReading's errors (ReadFileBytes's texts and causes).
    explicit FileInput(const std::string& path) : m_file(OpenFileForReading(path)) {}
    std::int64_t Size() const override { return m_file.size; }
    void ReadAt(std::int64_t offset, std::uint8_t* out, std::int64_t count) override;

private:
    OpenedFile m_file;
};

}  // namespace picbatch
