// The user's choices for how every picture of a run is converted, besides its size and
// output format: the same struct from both front ends down to each picture's conversion.
#pragma once

#include <cstdint>
#include <string>

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

// How the upright picture goes into a width x height box (SizeForm::Box).
enum class FitMode {
    Stretch,  // resized to the box exactly, proportions or not
    Contain,  // the largest size inside the box with the picture's proportions
    Cover,    // fills the box, the centred part that sticks out cut away
    Pad,      // Contain, centred on a canvas of the box's size in the background colour
};

// The canvas colour of FitMode::Pad.
struct Background {
    enum class Kind {
        Automatic,    // transparent where the output keeps alpha, white elsewhere
        Colour,       // red, green, blue
        Transparent,  // for outputs that keep alpha; white elsewhere
    };
    Kind kind = Kind::Automatic;
    std::uint8_t red = 255;
    std::uint8_t green = 255;
    std::uint8_t blue = 255;
    bool operator==(const Background&) const = default;
};

// The default output name: the source's stem in upper case.
inline constexpr const char* kDefaultNameTemplate = "{NAME}";

struct ConversionOptions {
    OrientationChoice orientation = OrientationChoice::Apply;
    MetadataChoice metadata = MetadataChoice::Drop;

    // How the picture takes the target size.
    FitMode fit = FitMode::Stretch;
    Background background;
    // A picture that already fits the box is written at its own size.
    bool shrinkOnly = false;
    // A portrait picture given a landscape box (or the other way round) takes the box turned.
    bool boxFollowsOrientation = false;

    // How lossy outputs (JPEG, lossy WebP) are encoded.
    int quality = 90;          // 1..100
    bool progressive = false;  // JPEG outputs

    // Which pictures a run takes and what their outputs are called.
    bool recursive = false;     // the pictures of the source's subfolders too, tree mirrored
    std::string nameTemplate = kDefaultNameTemplate;  // tokens {NAME} {name} {w} {h} {n}
    bool skipUpToDate = false;  // an output newer than its source is left as it is

    bool operator==(const ConversionOptions&) const = default;
};

}  // namespace picbatch
