// The Lanczos-3 resampler for a picture that arrives a few rows at a time, as a decoder
// delivers it: the same bytes as ResampleLanczos, without the whole picture ever in memory.
#pragma once

#include "imaging/raster.h"
#include "imaging/resample_path.h"
#include "imaging/target_row_sink.h"

#include <cstdint>
#include <memory>

namespace picbatch {

class VectorRowResampler;

class ResampleStream {
public:
    // For a sourceWidth x sourceHeight picture to exactly width x height. Throws Error as
    // ResampleLanczos does for these sizes: kInvalidTargetSize, then kEmptySourcePicture for
    // a side below 1, and kOutOfSystemResources. The reference path (or weights the vector
    // kernels cannot take) keeps the whole picture and resamples it in Finish.
    ResampleStream(int sourceWidth, int sourceHeight, int width, int height,
                   ResamplePath path = FastestResamplePath());
    // The same, handing each target row to sink as soon as it is made instead of storing the
    // result (the reference path makes them all in Finish). With bottomUp, the rows are added
    // bottom row first and go to the sink bottom row first; the result is the same picture.
    ResampleStream(int sourceWidth, int sourceHeight, int width, int height, TargetRowSink sink,
                   ResamplePath path = FastestResamplePath(), bool bottomUp = false);
    ~ResampleStream();
    ResampleStream(const ResampleStream&) = delete;
    ResampleStream& operator=(const ResampleStream&) = delete;

    // The next count source rows, top row first: row i starts at first + i x step and holds
    // 3 x sourceWidth bytes of blue, green, red. Rows beyond sourceHeight are ignored. A step
    // of 0 repeats one row, which is then filtered across only once.
    void AddRows(const std::uint8_t* first, std::int64_t step, int count);

    // The Bgr24 result once all sourceHeight rows were added (empty with a sink: every row has
    // gone to it); throws std::logic_error before.
    Raster Finish();

private:
    int m_sourceWidth;
    int m_sourceHeight;
    int m_width;
    int m_height;
    int m_added = 0;
    bool m_bottomUp = false;
    TargetRowSink m_sink;
    std::unique_ptr<VectorRowResampler> m_vector;
    Raster m_source;  // the whole picture, when the reference resamples it
};

}  // namespace picbatch
