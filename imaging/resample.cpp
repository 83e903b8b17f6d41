// Entry point of the resampler: checks the sizes, brings the picture to 24 bits and runs the
// fastest implementation the processor offers (resample_kernels.cpp picks it).
#include "imaging/resample.h"

#include "imaging/error.h"
#include "imaging/resample_alpha.h"
#include "imaging/resample_path.h"
#include "imaging/resample_reference.h"
#include "imaging/vector_row_resampler.h"

#include <new>

namespace picbatch {

bool VectorPathTakes(int sourceWidth, int sourceHeight, int width, int height)
{
    return FitsVectorKernels(BuildContributors(sourceWidth, width, AxisScale(sourceWidth, width)), sourceWidth)
        && FitsVectorKernels(BuildContributors(sourceHeight, height, AxisScale(sourceHeight, height)), sourceHeight);
}

Raster ResampleLanczosOn(Raster& picture, int width, int height, ResamplePath path)
{
    // Sizes are checked before the picture is touched or anything is allocated.
    if (width < 1 || height < 1) {
        throw Error(kInvalidTargetSize);
    }
    if (picture.Width() < 1 || picture.Height() < 1) {
        throw Error(kEmptySourcePicture);
    }
    try {
        if (picture.Form() == PixelForm::Bgra32 && !picture.Empty())
            return ResampleAlpha(picture, width, height);
        picture.SetPixelForm(PixelForm::Bgr24);
        if (picture.Empty()) {
            throw Error(kEmptySourcePicture);
        }
        const Raster& source = picture;  // read only: a shared store is not copied
        if (const VectorKernels* kernels = KernelsOf(path)) {
            if (const auto rows = VectorRowResampler::Make(source.Width(), source.Height(), width, height, *kernels)) {
                rows->AddRows(source.Row(0).data(), source.RowStep(), source.Height());
                return rows->TakeResult();
            }
        }
        return ResampleReference(source, width, height);
    } catch (const std::bad_alloc&) {
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    }
}

Raster ResampleLanczos(Raster& picture, int width, int height)
{
    return ResampleLanczosOn(picture, width, height, FastestResamplePath());
}

}  // namespace picbatch
