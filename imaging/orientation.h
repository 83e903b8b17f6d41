// How a picture's stored rows relate to its upright view, numbered as cameras tag it (EXIF
// orientation), and turning a stored picture upright.
#pragma once

#include "imaging/raster.h"

namespace picbatch {

// Upright(stored) at (x, y) is stored at the position given in each comment; w and h are
// the stored picture's width and height.
enum class Orientation {
    Normal = 1,        // (x, y)
    MirrorRows,        // (w-1-x, y)
    Rotate180,         // (w-1-x, h-1-y)
    MirrorColumns,     // (x, h-1-y)
    Transpose,         // (y, x)
    Rotate90,          // (y, h-1-x): the stored picture turned a quarter clockwise
    Transverse,        // (w-1-y, h-1-x)
    Rotate270,         // (w-1-y, x): turned a quarter anticlockwise
};

// The orientation of a tag value 1..8; any other value means Normal.
Orientation OrientationOfTag(long value);

// The upright picture's rows are the stored picture's columns.
bool SwapsSides(Orientation orientation);

// Upright(stored) reads each of its lines (rows, or for SwapsSides the stored columns) from
// the far end of the stored line: the stored rows mirrored, or the columns read bottom up.
bool ReversesLines(Orientation orientation);

// The lines (stored rows, or for SwapsSides stored columns) come in the upright picture in
// the reverse of their stored order: bottom row first, or right column first.
bool ReversesLineOrder(Orientation orientation);

// The upright form of stored, converting stored to Bgr24 in place first as ResampleLanczos
// does. Normal returns a copy sharing the store. Throws the Raster's errors.
Raster Upright(Raster& stored, Orientation orientation);

}  // namespace picbatch
