// The reference resampler: rows to the target width into an intermediate picture, then
// columns of the intermediate to the target height, through the channel buffers.
#include "imaging/resample_reference.h"

#include "imaging/lanczos_contributors.h"
#include "imaging/raster.h"
#include "imaging/resample_line.h"

#include <cstddef>

namespace picbatch {

namespace {

constexpr std::int64_t kPixelBytes = 3;

}  // namespace

void ResampleReference(const Raster& source, Raster& result)
{
    const int sourceWidth = source.Width();
    const int sourceHeight = source.Height();
    const int width = result.Width();
    const int height = result.Height();
    // Both scales come first, as the axes are independent.
    const float horizontalScale = AxisScale(sourceWidth, width);
    const float verticalScale = AxisScale(sourceHeight, height);

    Raster intermediate;
    intermediate.SetPixelForm(PixelForm::Bgr24);
    intermediate.SetHeight(sourceHeight);
    intermediate.SetWidth(width);

    ChannelBuffers line;
    {
        const ContributionList list = BuildContributors(sourceWidth, width, horizontalScale);
        line.Resize(static_cast<std::size_t>(sourceWidth));
        for (int r = 0; r < sourceHeight; ++r) {
            UnpackLine(sourceWidth, kPixelBytes, source.Row(r).data(), line);
            std::uint8_t* target = intermediate.Row(r).data();
            for (int x = 0; x < width; ++x) {
                WeightedPixel(list[static_cast<std::size_t>(x)], line, target + kPixelBytes * x);
            }
        }
    }

    const ContributionList list = BuildContributors(sourceHeight, height, verticalScale);
    line.Resize(static_cast<std::size_t>(sourceHeight));
    // Row distances come from the Raster's layout, not from a second row, so pictures of
    // one row work too.
    const std::int64_t intermediateStep = intermediate.RowStep();
    const std::int64_t resultStep = result.RowStep();
    const std::uint8_t* intermediateTop = static_cast<const Raster&>(intermediate).Row(0).data();
    std::uint8_t* resultTop = result.Row(0).data();
    for (int x = 0; x < width; ++x) {
        UnpackLine(sourceHeight, intermediateStep, intermediateTop + kPixelBytes * x, line);
        for (int y = 0; y < height; ++y) {
            WeightedPixel(list[static_cast<std::size_t>(y)], line, resultTop + kPixelBytes * x + resultStep * y);
        }
    }
}

Raster ResampleReference(const Raster& source, int width, int height)
{
    Raster result;
    result.SetPixelForm(PixelForm::Bgr24);
    result.SetWidth(width);
    result.SetHeight(height);
    ResampleReference(source, result);
    return result;
}

}  // namespace picbatch
