// Turning pictures upright, and resampling the upright form of a picture fed in stored rows
// against "upright first, then ResampleLanczos", byte for byte, for every orientation and path.
#include "imaging/oriented_resample_stream.h"

#include <gtest/gtest.h>

#include "imaging/error.h"
#include "imaging/orientation.h"
#include "imaging/resample.h"
#include "imaging/resample_path.h"
#include "tests/imaging/band_feeding.h"
#include "tests/imaging/error_text.h"
#include "tests/imaging/resample_test_pictures.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace picbatch {

namespace {

constexpr std::array kAllOrientations = {
    Orientation::Normal,    Orientation::MirrorRows, Orientation::Rotate180,  Orientation::MirrorColumns,
    Orientation::Transpose, Orientation::Rotate90,   Orientation::Transverse, Orientation::Rotate270,
};

// A 3 x 2 picture whose pixels are numbered 0..5 in reading order (all three channels).
Raster Numbered()
{
    return PaintedPicture(3, 2, [](int x, int y, int) { return y * 3 + x; });
}

std::vector<int> Numbers(const Raster& picture)
{
    std::vector<int> numbers;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            numbers.push_back(picture.Row(y)[static_cast<std::size_t>(3 * x)]);
    return numbers;
}

// The stored rows fed in bands of 16, as a decoder delivers them.
Raster StreamedUpright(const Raster& stored, Orientation orientation, int width, int height, ResamplePath path,
                       bool viaSink)
{
    return FedInBands(stored, width, height, 16, viaSink, [&](const TargetRowSink& sink) {
        return OrientedResampleStream(stored.Width(), stored.Height(), orientation, width, height, sink, path);
    });
}

TEST(Orientation, EachTagValueTurnsTheNumberedPictureAsCamerasMeanIt)
{
    struct Case {
        long tag;
        int width;
        std::vector<int> numbers;
    };
    // Stored:  0 1 2
    //          3 4 5
    const std::vector<Case> cases = {
        {1, 3, {0, 1, 2, 3, 4, 5}}, {2, 3, {2, 1, 0, 5, 4, 3}}, {3, 3, {5, 4, 3, 2, 1, 0}},
        {4, 3, {3, 4, 5, 0, 1, 2}}, {5, 2, {0, 3, 1, 4, 2, 5}}, {6, 2, {3, 0, 4, 1, 5, 2}},
        {7, 2, {5, 2, 4, 1, 3, 0}}, {8, 2, {2, 5, 1, 4, 0, 3}},
    };
    for (const Case& c : cases) {
        Raster stored = Numbered();
        const Raster upright = Upright(stored, OrientationOfTag(c.tag));
        EXPECT_EQ(upright.Width(), c.width) << "tag " << c.tag;
        EXPECT_EQ(Numbers(upright), c.numbers) << "tag " << c.tag;
    }
    for (const long unknown : {0L, 9L, -1L, 65535L})
        EXPECT_EQ(OrientationOfTag(unknown), Orientation::Normal);
}

TEST(OrientedResampleStream, EveryOrientationGivesTheUprightPictureResampled)
{
    struct Size {
        int sourceWidth, sourceHeight, width, height;
    };
    // Reductions and enlargements along either side, a side of one, and sides whose windows
    // reach both ends of the line.
    const std::vector<Size> sizes = {
        {61, 37, 23, 29}, {37, 61, 50, 17}, {40, 30, 80, 45}, {1, 20, 7, 5}, {25, 1, 3, 9}, {9, 7, 9, 7},
    };
    for (const Size& size : sizes) {
        const Raster stored = PhotoLikePicture(size.sourceWidth, size.sourceHeight, 7);
        for (const Orientation orientation : kAllOrientations) {
            Raster copy = stored;
            Raster upright = Upright(copy, orientation);
            const Raster expected = ResampleLanczos(upright, size.width, size.height);
            for (const ResamplePath path : AllPaths()) {
                for (const bool viaSink : {false, true}) {
                    EXPECT_TRUE(SamePicture(
                        StreamedUpright(stored, orientation, size.width, size.height, path, viaSink), expected))
                        << size.sourceWidth << "x" << size.sourceHeight << " to " << size.width << "x" << size.height
                        << ", orientation " << static_cast<int>(orientation) << ", path "
                        << ResamplePathName(path) << (viaSink ? ", sink" : "");
                }
            }
        }
    }
}

TEST(OrientedResampleStream, RefusesSizesAsResamplingTheUprightPictureDoes)
{
    // A stored picture 1 row high and 20000 wide, turned, is 20000 rows high: at a width
    // of 20000 its intermediate picture is too large, as ResampleLanczos finds.
    EXPECT_EQ(ErrorText([] { OrientedResampleStream(20000, 1, Orientation::Rotate90, 20000, 1); }),
              kOutOfSystemResources);
    EXPECT_NO_THROW(OrientedResampleStream(20000, 1, Orientation::Normal, 20000, 1));
    EXPECT_EQ(ErrorText([] { OrientedResampleStream(5, 5, Orientation::Rotate90, 0, 3); }), kInvalidTargetSize);
    EXPECT_EQ(ErrorText([] { OrientedResampleStream(0, 5, Orientation::Transpose, 2, 3); }), kEmptySourcePicture);
}

}  // namespace

}  // namespace picbatch
