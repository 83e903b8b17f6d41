// The band reader of BMP files. Uncompressed rows are read by their offsets, so a bottom-up
// file is read from its end; RLE data is walked twice: once to note where each row's codes
// start, then row by row from the top.
#include "pictures/bmp/bmp_stream.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp_layout.h"
#include "pictures/bmp/bmp_rle_codes.h"
#include "pictures/files/positional_input.h"

namespace picbatch {

namespace {

// File rows read at once: large enough that reads cost little next to resampling, small
// enough that a band stays in the second-level cache.
constexpr std::int64_t kBandBytes = std::int64_t{1} << 20;
// The resampler filters rows in groups of eight; whole groups need no copies.
constexpr int kResamplerGroup = 8;
// The RLE data read at once.
constexpr std::int64_t kRleWindowBytes = std::int64_t{64} << 10;

int BandRowsFor(std::int64_t rowBytes, int height)
{
    const auto rows = static_cast<int>(std::clamp<std::int64_t>(kBandBytes / rowBytes, 1, height));
    return rows >= kResamplerGroup ? rows / kResamplerGroup * kResamplerGroup : rows;
}

}  // namespace

std::int64_t BmpBandBytes(std::int64_t rowBytes, int width, int height)
{
    const std::int64_t bgrRow = std::int64_t{width} * 3;
    return BandRowsFor(std::max(rowBytes, bgrRow), height) * (rowBytes + bgrRow);
}

namespace {

// Turns rows of the file's pixel form into blue, green, red.
class RowConverter {
public:
    explicit RowConverter(const BmpLayout& layout)
        : m_form(layout.form),
          m_width(layout.width),
          m_table(layout.bitCount <= 8 ? layout.colorTable : std::vector<ColorEntry>()),
          m_masks(layout.form == PixelForm::Masked16 || layout.form == PixelForm::Masked32 ? layout.masks
                                                                                           : ChannelMasks())
    {
    }

    void Convert(const std::uint8_t* in, std::uint8_t* out) const
    {
        ConvertRowToBgr(m_form, in, m_width, m_table, m_masks, out);
    }

    // Paints pixel x of a blue-green-red row in the colour of a paletted form's index, as
    // Convert would: black for an index past the table's end.
    void PutIndex(std::uint8_t* bgr, std::int64_t x, std::uint8_t index) const
    {
        const ColorEntry color = index < m_table.size() ? m_table[index] : ColorEntry{};
        bgr[3 * x] = color.blue;
        bgr[3 * x + 1] = color.green;
        bgr[3 * x + 2] = color.red;
    }

    // The row made of zero bytes, as the pixels that a file leaves out are.
    std::vector<std::uint8_t> ZeroRow() const
    {
        const std::vector<std::uint8_t> zero(static_cast<std::size_t>(RowSizeFor(m_width, BitsPerPixel(m_form))));
        std::vector<std::uint8_t> bgr(static_cast<std::size_t>(m_width) * 3);
        Convert(zero.data(), bgr.data());
        return bgr;
    }

private:
    PixelForm m_form;
    int m_width;
    std::vector<ColorEntry> m_table;
    ChannelMasks m_masks;
};

// Gathers converted rows into bands for the sink; runs of zero rows go as one repeated row.
class BgrBands {
public:
    BgrBands(const PictureRowSink& sink, const RowConverter& converter, int width, int bandRows)
        : m_sink(sink),
          m_stride(std::int64_t{width} * 3),
          m_bandRows(bandRows),
          m_band(static_cast<std::size_t>(m_stride * bandRows)),
          m_zeroRow(converter.ZeroRow())
    {
    }

    // Where the next row goes; it is handed over with its band.
    std::uint8_t* NextRow()
    {
        if (m_count == m_bandRows)
            Flush();
        return m_band.data() + m_stride * m_count++;
    }

    void ZeroRows(std::int64_t count)
    {
        if (count <= 0)
            return;
        Flush();
        m_sink(m_zeroRow.data(), 0, static_cast<int>(count));
    }

    // Rows that need no conversion, straight from the caller's buffer.
    void PassOn(const std::uint8_t* first, std::int64_t step, int count)
    {
        Flush();
        m_sink(first, step, count);
    }

    void Flush()
    {
        if (m_count > 0)
            m_sink(m_band.data(), m_stride, m_count);
        m_count = 0;
    }

private:
    const PictureRowSink& m_sink;
    std::int64_t m_stride;
    int m_bandRows;
    std::vector<std::uint8_t> m_band;
    int m_count = 0;
    std::vector<std::uint8_t> m_zeroRow;
};

ReadNotes StreamUncompressed(PositionalInput& input, const BmpLayout& layout, const RowConverter& converter,
                             const PictureRowSink& sink)
{
    const std::int64_t rowSize = RowSizeFor(layout.width, layout.bitCount);
    // File rows with at least one byte in the file; the rest are all zero.
    const auto present = static_cast<int>(std::min<std::int64_t>(layout.height, (layout.pixelBytes + rowSize - 1) / rowSize));
    // Both the file's rows and their converted form stay within a band's bytes.
    const int bandRows = BandRowsFor(std::max(rowSize, std::int64_t{layout.width} * 3), layout.height);
    BgrBands out(sink, converter, layout.width, bandRows);
    std::vector<std::uint8_t> band(static_cast<std::size_t>(rowSize * bandRows));

    // A bottom-up file holds its top rows last: those are the missing ones.
    if (!layout.topDown)
        out.ZeroRows(layout.height - present);
    for (int done = 0; done < present;) {
        const int count = std::min(bandRows, present - done);
        const int firstFileRow = layout.topDown ? done : present - done - count;
        const std::int64_t offset = firstFileRow * rowSize;
        const std::int64_t bytes = std::min(count * rowSize, layout.pixelBytes - offset);
        input.ReadAt(layout.pixelOffset + offset, band.data(), bytes);
        std::fill(band.begin() + bytes, band.begin() + count * rowSize, std::uint8_t{0});
        // Row i of the band, top row first.
        const std::uint8_t* first = layout.topDown ? band.data() : band.data() + (count - 1) * rowSize;
        const std::int64_t step = layout.topDown ? rowSize : -rowSize;
        if (layout.form == PixelForm::Bgr24) {
            out.PassOn(first, step, count);
        } else {
            for (int i = 0; i < count; ++i)
                converter.Convert(first + i * step, out.NextRow());
        }
        done += count;
    }
    if (layout.topDown)
        out.ZeroRows(layout.height - present);
    out.Flush();
    return ReadNotes{layout.pixelBytes < PixelBytesNeeded(layout)};
}

// The RLE data of the file, read a window at a time as the walk needs it.
class RleWindow {
public:
    RleWindow(PositionalInput& input, std::int64_t offset, std::int64_t size)
        : m_input(input), m_offset(offset), m_size(size), m_bytes(static_cast<std::size_t>(std::min(size, kRleWindowBytes)))
    {
    }

    std::int64_t Size() const { return m_size; }

    std::uint8_t At(std::int64_t pos)
    {
        if (pos < m_start || pos >= m_end)
            Load(pos);
        return m_bytes[static_cast<std::size_t>(pos - m_start)];
    }

    // Makes the window hold [start, end) and, where it fits, the bytes before: the rows below,
    // which the walk from the top needs next.
    void Prefer(std::int64_t start, std::int64_t end)
    {
        if (start >= m_start && end <= m_end)
            return;
        Load(end - start > kRleWindowBytes ? start : std::max<std::int64_t>(0, end - kRleWindowBytes));
    }

private:
    void Load(std::int64_t from)
    {
        m_start = from;
        m_end = std::min(m_size, from + kRleWindowBytes);
        m_input.ReadAt(m_offset + m_start, m_bytes.data(), m_end - m_start);
    }

    PositionalInput& m_input;
    std::int64_t m_offset;
    std::int64_t m_size;
    std::vector<std::uint8_t> m_bytes;
    std::int64_t m_start = 0;
    std::int64_t m_end = 0;
};

// Where the codes of one row are, from the first walk. A row without painted pixels is all
// index 0 and needs no second look.
struct RleRow {
    std::int64_t start = 0;  // the first code run while the walk was in this row
    std::int64_t end = 0;    // just past the last one
    std::int64_t x = 0;      // where the first code starts painting
    bool painted = false;
};

ReadNotes StreamRle(PositionalInput& input, const BmpLayout& layout, const RowConverter& converter,
                    const PictureRowSink& sink)
{
    const RleFrame frame{layout.width, layout.height, layout.form == PixelForm::Paletted4};
    RleWindow data(input, layout.pixelOffset, layout.pixelBytes);

    // The codes of each row follow each other: the walk never goes down.
    std::vector<RleRow> index(static_cast<std::size_t>(layout.height));
    bool complete = false;
    for (RleCursor at;;) {
        const RleCursor before = at;
        bool painted = false;
        const std::optional<bool> ended = StepRle(data, frame, at, [&](std::int64_t, std::int64_t, int, auto) {
            painted = true;
        });
        if (ended) {
            complete = *ended;
            break;
        }
        // A code runs only below the top: before.y is a row of the picture.
        RleRow& row = index[static_cast<std::size_t>(before.y)];
        if (row.end == 0) {
            row.start = before.pos;
            row.x = before.x;
        }
        row.end = at.pos;
        row.painted = row.painted || painted;
    }

    BgrBands out(sink, converter, layout.width, BandRowsFor(std::int64_t{layout.width} * 3, layout.height));
    // A row starts as the zero row and its painted pixels are converted as they are painted,
    // the last paint of a pixel winning, as in the whole picture's store.
    const std::vector<std::uint8_t> zeroRow = converter.ZeroRow();
    std::uint8_t* row = nullptr;
    const auto paint = [&](std::int64_t, std::int64_t x, int count, auto packed) {
        for (int i = 0; i < count; ++i)
            converter.PutIndex(row, x + i, RleRunIndex(packed(i), i, frame.fourBit));
    };
    std::int64_t zeroRun = 0;
    for (std::int64_t y = layout.height - 1; y >= 0; --y) {
        const RleRow& codes = index[static_cast<std::size_t>(y)];
        if (!codes.painted) {
            ++zeroRun;
            continue;
        }
        out.ZeroRows(std::exchange(zeroRun, 0));
        row = out.NextRow();
        std::copy(zeroRow.begin(), zeroRow.end(), row);
        data.Prefer(codes.start, codes.end);
        for (RleCursor at{codes.start, codes.x, y}; at.y == y && at.pos < codes.end;) {
            if (StepRle(data, frame, at, paint))
                break;
        }
    }
    out.ZeroRows(zeroRun);
    out.Flush();
    return ReadNotes{!complete};
}

}  // namespace

ReadNotes DecodeBmpRows(PositionalInput& input, const PictureSizeSink& size, const PictureRowSink& rows)
{
    const std::int64_t fileSize = input.Size();
    if (fileSize == 0) {
        size(0, 0);
        return {};
    }
    BmpLayout layout;
    {
        std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min(fileSize, kBmpLayoutBytes)));
        input.ReadAt(0, head.data(), static_cast<std::int64_t>(head.size()));
        layout = ReadBmpLayout(head, fileSize);
    }
    size(layout.width, layout.height);
    const RowConverter converter(layout);
    // Compressions 1 and 2 are RLE8 and RLE4, as the layout checked.
    if (layout.compression == 1 || layout.compression == 2)
        return StreamRle(input, layout, converter, rows);
    return StreamUncompressed(input, layout, converter, rows);
}

ReadNotes DecodeBmpFileRows(const std::string& path, const PictureSizeSink& size, const PictureRowSink& rows)
{
    FileInput input(path);
    return DecodeBmpRows(input, size, rows);
}

}  // namespace picbatch
