// What a reader noticed about a file that it read all the same.
#pragma once

namespace picbatch {

// Filled in by the readers; starts with nothing noticed.
struct ReadNotes {
    // The file ended before its pixels did. The picture is as the reader always makes it: a
    // JPEG's missing part is filled by libjpeg (grey where no scan data came), a BMP's
    // missing pixel bytes are 0.
    bool incomplete = false;
    // The file stored its pixels without loss (a PNG, a lossless WebP): a writer with
    // the choice keeps them so (PictureFormat::encodeLossless).
    bool lossless = false;
    // The decoder met damaged data and decoded on (a JPEG's corrupt entropy-coded data, a scan
    // ended by a marker before its picture did): parts of the picture may be wrong.
    bool damaged = false;
};

}  // namespace picbatch
