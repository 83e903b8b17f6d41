// The user's choices for how every picture of a run is converted, besides its size and
// output format: the same struct from both front ends down to each picture's conversion.
#pragma once

namespace picbatch {

// Whether a picture tagged as stored sideways or mirrored is turned upright first.
enum class OrientationChoice {
    Apply,  // the target size is the upright picture's, and the output is upright
    Keep,   // the stored rows as they are, the tag dropped with the rest of the metadata
};

// What a JPEG output keeps of its source's EXIF block.
enum class MetadataChoice {
    Drop,            // nothing
    Keep,            // all of it, orientation 1, no thumbnail, the new pixel dimensions
    KeepWithoutGps,  // the same without the location
};

struct ConversionOptions {
    OrientationChoice orientation = OrientationChoice::Apply;
    MetadataChoice metadata = MetadataChoice::Drop;
    bool operator==(const ConversionOptions&) const = default;
};

}  // namespace picbatch
