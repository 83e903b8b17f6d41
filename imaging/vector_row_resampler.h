// The vectorised resampler fed one source row at a time: rows are filtered to the target
// width in groups while they are fresh in the cache, and each target row is made as soon as
// the source rows under it have arrived, so neither the source nor the intermediate picture
// is ever held whole.
#pragma once

#include "imaging/raster.h"
#include "imaging/resample_vector.h"
#include "imaging/target_row_sink.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace picbatch {

class VectorRowResampler {
public:
    // For a sourceWidth x sourceHeight Bgr24 picture to a width x height one (all at least 1),
    // with the kernels of one target (KernelsOf). Null when the weights do not meet the
    // kernels' limits (FitsVectorKernels). Throws Error kOutOfSystemResources for a result, or an
    // intermediate picture of width x sourceHeight, beyond kMaxPicturePixels, as the reference
    // would, and for memory that cannot be had. With a sink, each target row goes to it as
    // soon as it is made and no result is stored. With bottomUp, the rows added are the
    // picture's rows bottom row first, and the sink gets the target rows bottom row first.
    static std::unique_ptr<VectorRowResampler> Make(int sourceWidth, int sourceHeight, int width, int height,
                                                    const VectorKernels& kernels, TargetRowSink sink = {},
                                                    bool bottomUp = false);

    // The next count source rows, top row first: row i starts at first + i x step and holds
    // 3 x sourceWidth bytes of blue, green, red. The rows need to stay readable during the
    // call only. Rows beyond sourceHeight are ignored.
    void AddRows(const std::uint8_t* first, std::int64_t step, int count);

    // The same as AddRows(row, 0, count), filtering the row horizontally only once: its
    // intermediate row is copied for the rest.
    void AddRepeatedRow(const std::uint8_t* row, int count);

    // True once every source row was added: the result is complete.
    bool Complete() const { return m_added == m_sourceHeight; }

    // The result, complete or not (empty with a sink); the resampler is done with it afterwards.
    Raster TakeResult() { return std::move(m_result); }

    VectorRowResampler(const VectorRowResampler&) = delete;
    VectorRowResampler& operator=(const VectorRowResampler&) = delete;

    // Target pixels filtered together, whose windows span a few hundred source pixels, so
    // that their channel planes stay in the first-level cache.
    struct Tile {
        std::int32_t firstTarget;
        std::int32_t endTarget;
        std::int32_t firstSource;  // the source pixels under the tile's windows
        std::int32_t endSource;
        std::int32_t windowsEnd;   // the end of its longest window, zero padding included
    };

private:

    VectorRowResampler(PackedAxis horizontal, PackedAxis vertical, int sourceWidth, int sourceHeight, int width,
                       int height, const VectorKernels& kernels, TargetRowSink sink, bool bottomUp);
    std::int16_t* Columns();
    std::uint8_t* IntermediateRow(std::int64_t r) { return m_store.data() + r % m_depth * m_stride; }
    std::uint8_t* PendingRow(int slot) { return m_pending.data() + slot * std::int64_t{3} * m_sourceWidth; }
    void FilterGroup();
    void MakeReadyRows();

    PackedAxis m_horizontal;
    PackedAxis m_vertical;
    int m_sourceWidth;
    int m_sourceHeight;
    // The ring of the most recent intermediate rows, deep enough for every vertical window.
    std::int64_t m_depth;
    std::int64_t m_stride;
    std::vector<std::uint8_t> m_store;
    // The source rows of the group being gathered: rows of the caller's current call, or
    // copies in m_pending of rows that a call left short of a whole group.
    const std::uint8_t* m_groupRows[kHorizontalRows] = {};
    std::vector<std::uint8_t> m_pending;
    std::vector<Tile> m_tiles;
    // The columns of one tile of the group's rows (kernels.interleaveRows).
    std::vector<std::int16_t> m_columnStore;
    const VectorKernels& m_kernels;
    HorizontalJob m_job;
    std::vector<const std::uint8_t*> m_windowRows;
    Raster m_result;
    TargetRowSink m_sink;
    std::vector<std::uint8_t> m_sinkRow;  // the row being made for the sink
    int m_width;
    int m_height;
    std::int64_t m_added = 0;   // source rows added
    std::int64_t m_filtered = 0;  // intermediate rows made
    int m_nextRow = 0;          // the next target row to make
    bool m_bottomUp;            // rows are added and made bottom row first
    bool m_copyRows = false;    // the rows keep their width and pixels: copied, not filtered
};

}  // namespace picbatch
