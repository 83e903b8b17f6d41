// Where an encoder puts the bytes of a file as it makes them: an output file, or memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace picbatch {

class ByteSink {
public:
    virtual ~ByteSink() = default;

    // Puts bytes at offset (from the start of the file), which may be anywhere up to the end
    // of what was put so far, or beyond it. Throws Error ("Stream write error. <system text>").
    virtual void WriteAt(std::int64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

// A sink appending to a vector, which must outlive it: offset 0 is the vector's end when the
// sink was made. A gap left before an offset holds zeros.
class MemorySink final : public ByteSink {
public:
    explicit MemorySink(std::vector<std::uint8_t>& out) : m_out(out), m_base(out.size()) {}

    void WriteAt(std::int64_t offset, std::span<const std::uint8_t> bytes) override
    {
        const std::size_t start = m_base + static_cast<std::size_t>(offset);
        if (m_out.size() < start + bytes.size())
            m_out.resize(start + bytes.size());
        std::copy(bytes.begin(), bytes.end(), m_out.begin() + static_cast<std::ptrdiff_t>(start));
    }

private:
    std::vector<std::uint8_t>& m_out;
    std::size_t m_base;
};

}  // namespace picbatch
