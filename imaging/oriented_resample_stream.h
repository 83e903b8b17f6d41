// The resampler fed with a stored picture's rows as a decoder delivers them, resampling the
// picture's upright form: the bytes of ResampleLanczos(Upright(stored), ...) without the
// stored or the upright picture ever held whole.
#pragma once

#include "imaging/orientation.h"
#include "imaging/raster.h"
#include "imaging/resample_path.h"
#include "imaging/resample_stream.h"
#include "imaging/target_row_sink.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace picbatch {

class OrientedResampleStream {
public:
    // For a stored sourceWidth x sourceHeight picture whose upright form (orientation) becomes
    // exactly width x height. Throws Error as ResampleLanczos does for the upright picture's
    // sizes, in its order. With a sink, the target rows go to it top row first instead of
    // into the result: as they are made where the orientation keeps the row order, all in
    // Finish where it does not.
    OrientedResampleStream(int sourceWidth, int sourceHeight, Orientation orientation, int width, int height,
                           TargetRowSink sink = {}, ResamplePath path = FastestResamplePath());
    ~OrientedResampleStream();
    OrientedResampleStream(const OrientedResampleStream&) = delete;
    OrientedResampleStream& operator=(const OrientedResampleStream&) = delete;

    // True when a stream for orientation keeps a whole target picture of its own until its
    // last stored row, besides any result: where the upright rows are the stored columns,
    // and, with a sink, where they come bottom up.
    static bool KeepsTargetWhole(Orientation orientation, bool toSink);

    // The next count stored rows, top row first, as ResampleStream::AddRows takes them.
    void AddRows(const std::uint8_t* first, std::int64_t step, int count);

    // The Bgr24 result once every stored row was added (empty with a sink); throws
    // std::logic_error before.
    Raster Finish();

private:
    void KeepTargetRow(const std::uint8_t* bgr);
    Raster Turned();

    int m_sourceWidth;
    int m_width;
    int m_height;
    bool m_swaps;
    bool m_mirrorRows;  // each stored row is reversed before it is resampled
    TargetRowSink m_sink;
    // Rows that come out in an order other than the result's are kept here until Finish:
    // the bottom-up target rows, or the resampled picture that is turned into the result.
    Raster m_kept;
    int m_keptRows = 0;
    std::vector<std::uint8_t> m_mirrored;  // one stored row reversed
    // The stored picture's columns are resampled first (m_first, its rows left at their
    // width), then its rows (m_second, its columns left at their height), when the upright
    // picture's rows are the stored columns; otherwise m_first does all.
    std::unique_ptr<ResampleStream> m_second;
    std::unique_ptr<ResampleStream> m_first;
    bool m_bottomUp;
};

}  // namespace picbatch
