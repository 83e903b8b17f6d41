// The vectorised resampler's driver: source rows are gathered eight at a time, split into
// columns of the eight rows a tile of target pixels at a time and filtered into a ring of
// intermediate rows, and every target row whose vertical window is complete is made at
// once. Integer sums do not depend on the order of their
// terms, so the bytes match the reference's.
#include "imaging/vector_row_resampler.h"

#include "imaging/error.h"
#include "imaging/limits.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

namespace picbatch {

namespace {

constexpr std::int64_t kPixelBytes = 3;
// Room for the columns of pixels past a tile's longest window: the split writes whole steps
// of up to 16 pixels.
constexpr std::int64_t kColumnPadding = 16;
// The columns start on a 32-byte boundary, for the horizontal kernel's aligned loads.
constexpr std::int64_t kColumnAlignment = 32;

// The source pixels under one tile's windows: 8 rows of 3 channels of 2-byte values take
// 12 KiB, plus a window's length, which leaves most of a first-level cache to the weights
// and the rest. Four times as many measured slower; the pixels under two tiles' windows are
// split twice, which costs little at this span.
constexpr std::int32_t kTileSpan = 256;

// Intermediate rows start on 32-byte boundaries; the store has room past its last row for
// the vertical kernel's widest loads.
constexpr std::int64_t kRowAlignment = 32;

std::int64_t RoundUp(std::int64_t value, std::int64_t multiple)
{
    return (value + multiple - 1) / multiple * multiple;
}

// The end (exclusive) of the source rows that the vertical window needs: the padding
// rows past the window's contributions are read too (with weight 0), but never past n.
std::int64_t WindowEnd(const PackedWindow& window, std::int64_t n)
{
    return std::min<std::int64_t>(window.first + window.length, n);
}

// How many intermediate rows must be kept at once when the horizontal pass runs in groups
// of kHorizontalRows and each target row is made as soon as its window is filtered.
std::int64_t RingDepth(const PackedAxis& vertical, std::int64_t n)
{
    std::int64_t filled = 0;
    std::int64_t depth = 1;
    for (const PackedWindow& window : vertical.windows) {
        filled = std::max(filled, std::min(RoundUp(WindowEnd(window, n), kHorizontalRows), n));
        depth = std::max(depth, filled - window.first);
    }
    return std::min(depth, n);
}

std::int32_t LongestWindow(const PackedAxis& axis)
{
    std::int32_t longest = 0;
    for (const PackedWindow& window : axis.windows) {
        longest = std::max(longest, window.length);
    }
    return longest;
}

// Splits the target pixels into tiles of whole pairs of pixels whose windows span at most
// kTileSpan source pixels, or one pair when a pair's windows span more.
std::vector<VectorRowResampler::Tile> MakeTiles(const PackedAxis& axis, std::int32_t n)
{
    std::vector<VectorRowResampler::Tile> tiles;
    const auto targets = static_cast<std::int32_t>(axis.windows.size());
    std::int32_t x = 0;
    while (x < targets) {
        VectorRowResampler::Tile tile{x, x, INT32_MAX, 0, 0};
        std::int64_t reach = 0;  // the end of the longest window, padding included
        while (tile.endTarget < targets) {
            const std::int32_t end = std::min(tile.endTarget + 2, targets);
            std::int32_t first = tile.firstSource;
            std::int64_t last = reach;
            for (std::int32_t t = tile.endTarget; t < end; ++t) {
                const PackedWindow& window = axis.windows[static_cast<std::size_t>(t)];
                first = std::min(first, window.first);
                last = std::max<std::int64_t>(last, std::int64_t{window.first} + window.length);
            }
            if (tile.endTarget > tile.firstTarget && last - first > kTileSpan) {
                break;
            }
            tile.endTarget = end;
            tile.firstSource = first;
            reach = last;
        }
        tile.endSource = static_cast<std::int32_t>(std::min<std::int64_t>(reach, n));
        tile.windowsEnd = static_cast<std::int32_t>(reach);
        tiles.push_back(tile);
        x = tile.endTarget;
    }
    return tiles;
}

// The 16-bit values of the columns of every tile's windows: their pixels, and the split's
// whole steps past them, times 8 rows and 3 channels.
std::int64_t ColumnValues(const std::vector<VectorRowResampler::Tile>& tiles)
{
    std::int64_t length = 0;
    for (const VectorRowResampler::Tile& tile : tiles) {
        length = std::max<std::int64_t>(length, tile.windowsEnd - tile.firstSource);
    }
    return (length + kColumnPadding) * kHorizontalRows * 3;
}

// A list that takes every pixel as it is: one contribution each, its own pixel. A row
// filtered with it is the row itself (v x w / w is v exactly), so it is copied instead.
bool TakesPixelsAsTheyAre(const ContributionList& list)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        const PixelContributions& entry = list[i];
        if (entry.count != 1 || entry.contributors[0].pixel != static_cast<std::int32_t>(i))
            return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<VectorRowResampler> VectorRowResampler::Make(int sourceWidth, int sourceHeight, int width,
                                                             int height, const VectorKernels& kernels,
                                                             TargetRowSink sink, bool bottomUp)
{
    // The reference keeps the whole intermediate as a Raster; fail alike.
    if (std::int64_t{width} * sourceHeight > kMaxPicturePixels) {
        throw Error(kOutOfSystemResources, FailureCause::TooLarge);
    }
    try {
        const ContributionList horizontalList = BuildContributors(sourceWidth, width, AxisScale(sourceWidth, width));
        // The horizontal kernel reads source pixels in pairs, two pairs a step.
        std::optional<PackedAxis> horizontal = PackAxis(horizontalList, sourceWidth, 1);
        if (!horizontal) {
            return nullptr;
        }
        horizontal = AlignToPairs(*horizontal);
        // The vertical kernels take source rows in pairs. Rows that come bottom up are
        // filtered with the list read from the far end, which makes the target rows bottom up.
        ContributionList verticalList = BuildContributors(sourceHeight, height, AxisScale(sourceHeight, height));
        if (bottomUp) {
            verticalList = ReversedContributors(verticalList, sourceHeight);
        }
        std::optional<PackedAxis> vertical = PackAxis(verticalList, sourceHeight, 2);
        if (!vertical) {
            return nullptr;
        }
        auto resampler = std::unique_ptr<VectorRowResampler>(new VectorRowResampler(
            std::move(*horizontal), std::move(*vertical), sourceWidth, sourceHeight, width, height, kernels,
            std::move(sink), bottomUp));
        resampler->m_copyRows = TakesPixelsAsTheyAre(horizontalList);
        return resampler;
    } catch (const std::bad_alloc&) {
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    }
}

VectorRowResampler::VectorRowResampler(PackedAxis horizontal, PackedAxis vertical, int sourceWidth,
                                       int sourceHeight, int width, int height, const VectorKernels& kernels,
                                       TargetRowSink sink, bool bottomUp)
    : m_horizontal(std::move(horizontal))
    , m_vertical(std::move(vertical))
    , m_sourceWidth(sourceWidth)
    , m_sourceHeight(sourceHeight)
    , m_depth(RingDepth(m_vertical, sourceHeight))
    // Spare bytes for the 16-byte stores of the horizontal kernel; the vertical kernel's
    // loads past a row's end read on into the next one, or into the room past the last.
    , m_stride(RoundUp(kPixelBytes * width + kSpareBytes, kRowAlignment))
    , m_store(static_cast<std::size_t>(m_stride * m_depth + kVectorBytes - kRowAlignment))
    , m_tiles(MakeTiles(m_horizontal, sourceWidth))
    // Room to start the columns on their boundary.
    , m_columnStore(static_cast<std::size_t>(ColumnValues(m_tiles) + kColumnAlignment / 2))
    , m_kernels(kernels)
    , m_sink(std::move(sink))
    , m_width(width)
    , m_height(height)
    , m_bottomUp(bottomUp)
{
    m_job.axis = &m_horizontal;
    m_job.columns = Columns();
    m_windowRows.resize(static_cast<std::size_t>(LongestWindow(m_vertical)));
    if (m_sink) {
        m_sinkRow.resize(static_cast<std::size_t>(kPixelBytes * width));
        return;
    }
    // Every pixel of the result is written, so it is not painted white first.
    m_result.SetPixelForm(PixelForm::Bgr24);
    m_result.SetSizeForWriting(width, height);
}

std::int16_t* VectorRowResampler::Columns()
{
    void* start = m_columnStore.data();
    std::size_t bytes = m_columnStore.size() * sizeof(std::int16_t);
    return static_cast<std::int16_t*>(std::align(kColumnAlignment, 1, start, bytes));
}

void VectorRowResampler::AddRows(const std::uint8_t* first, std::int64_t step, int count)
{
    for (int i = 0; i < count && !Complete(); ++i) {
        const int slot = static_cast<int>(m_added - m_filtered);
        m_groupRows[slot] = first + step * i;
        m_job.out[slot] = IntermediateRow(m_added);
        ++m_added;
        if (slot + 1 == kHorizontalRows || Complete()) {
            FilterGroup();
            MakeReadyRows();
        }
    }
    // The caller's rows go away after the call: keep copies of a group's first rows. A
    // decoder's bands of 16 rows hold whole groups, so this is rare.
    const int pending = static_cast<int>(m_added - m_filtered);
    if (pending > 0 && m_pending.empty()) {
        try {
            m_pending.resize(static_cast<std::size_t>(kHorizontalRows * std::int64_t{3} * m_sourceWidth));
        } catch (const std::bad_alloc&) {
            throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
        }
    }
    for (int slot = 0; slot < pending; ++slot) {
        if (m_groupRows[slot] != PendingRow(slot)) {
            std::memcpy(PendingRow(slot), m_groupRows[slot], 3 * static_cast<std::size_t>(m_sourceWidth));
            m_groupRows[slot] = PendingRow(slot);
        }
    }
}

void VectorRowResampler::AddRepeatedRow(const std::uint8_t* row, int count)
{
    // The row goes through the filter until it closes the group in progress, so that its
    // own intermediate row is in the ring. Filtering is per row: every copy would come out
    // the same.
    const int filtered = std::min(count, static_cast<int>(kHorizontalRows - (m_added - m_filtered)));
    AddRows(row, 0, filtered);
    // Whole groups are copied, so that later groups start where RingDepth expects them.
    const int copies = (count - filtered) / kHorizontalRows * kHorizontalRows;
    for (int i = 0; i < copies && !Complete(); ++i) {
        // A row is copied only once every target row whose window ends before it is made,
        // and the ring holds every window: the row copied from is still there (with a ring of
        // one row it is the same row).
        const std::uint8_t* previous = IntermediateRow(m_added - 1);
        std::uint8_t* next = IntermediateRow(m_added);
        if (next != previous)
            std::memcpy(next, previous, static_cast<std::size_t>(m_stride));
        ++m_added;
        ++m_filtered;
        MakeReadyRows();
    }
    AddRows(row, 0, count - filtered - copies);
}

void VectorRowResampler::FilterGroup()
{
    const int rows = static_cast<int>(m_added - m_filtered);
    if (m_copyRows) {
        for (int r = 0; r < rows; ++r)
            std::memcpy(m_job.out[r], m_groupRows[r], static_cast<std::size_t>(kPixelBytes * m_width));
        m_filtered = m_added;
        return;
    }
    m_job.rows = rows;
    for (const Tile& tile : m_tiles) {
        // Rows past the group's end read the first row; their results are dropped.
        const std::uint8_t* sources[kHorizontalRows];
        for (int r = 0; r < kHorizontalRows; ++r) {
            sources[r] = m_groupRows[r < rows ? r : 0] + kPixelBytes * tile.firstSource;
        }
        m_kernels.interleaveRows(sources, tile.endSource - tile.firstSource, Columns());
        m_job.firstTarget = tile.firstTarget;
        m_job.endTarget = tile.endTarget;
        m_job.origin = tile.firstSource;
        m_kernels.horizontal(m_job);
    }
    m_filtered = m_added;
}

void VectorRowResampler::MakeReadyRows()
{
    VerticalJob job;
    job.rows = m_windowRows.data();
    job.bytes = static_cast<std::int32_t>(kPixelBytes * m_width);
    while (m_nextRow < m_height) {
        const PackedWindow& window = m_vertical.windows[static_cast<std::size_t>(m_nextRow)];
        if (WindowEnd(window, m_sourceHeight) > m_filtered) {
            return;
        }
        for (std::int32_t k = 0; k < window.length; ++k) {
            // Padding weights are 0; their rows only need to be readable.
            const std::int64_t row = window.first + k < m_sourceHeight ? window.first + k : window.first;
            m_windowRows[static_cast<std::size_t>(k)] = IntermediateRow(row);
        }
        job.weights = m_vertical.weights.data() + window.offset;
        job.count = window.length;
        job.window = window;
        job.out = m_sink ? m_sinkRow.data() : m_result.Row(m_bottomUp ? m_height - 1 - m_nextRow : m_nextRow).data();
        m_kernels.vertical(job);
        ++m_nextRow;
        if (m_sink)
            m_sink(m_sinkRow.data());
    }
}

}  // namespace picbatch
