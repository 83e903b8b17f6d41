// A resampler fed in bands of rows: the vectorised row resampler where the processor and the
// weights allow, else the whole picture collected for the reference.
#include "imaging/resample_stream.h"

#include "imaging/error.h"
#include "imaging/limits.h"
#include "imaging/resample.h"
#include "imaging/resample_reference.h"
#include "imaging/vector_row_resampler.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace picbatch {

ResampleStream::ResampleStream(int sourceWidth, int sourceHeight, int width, int height, ResamplePath path)
    : ResampleStream(sourceWidth, sourceHeight, width, height, TargetRowSink(), path)
{
}

ResampleStream::ResampleStream(int sourceWidth, int sourceHeight, int width, int height, TargetRowSink sink,
                               ResamplePath path, bool bottomUp)
    : m_sourceWidth(sourceWidth), m_sourceHeight(sourceHeight), m_width(width), m_height(height),
      m_bottomUp(bottomUp), m_sink(std::move(sink))
{
    // In the order ResampleLanczos checks them.
    if (width < 1 || height < 1) {
        throw Error(kInvalidTargetSize);
    }
    if (sourceWidth < 1 || sourceHeight < 1) {
        throw Error(kEmptySourcePicture);
    }
    // The intermediate picture (width x sourceHeight) and the result are refused up front,
    // also when the reference will make them only in Finish.
    if (std::int64_t{width} * sourceHeight > kMaxPicturePixels || std::int64_t{width} * height > kMaxPicturePixels) {
        throw Error(kOutOfSystemResources, FailureCause::TooLarge);
    }
    try {
        if (const VectorKernels* kernels = KernelsOf(path)) {
            m_vector = VectorRowResampler::Make(sourceWidth, sourceHeight, width, height, *kernels, m_sink, bottomUp);
        }
        if (!m_vector) {
            // Every row is copied in, so the store is not painted white first.
            m_source.SetPixelForm(PixelForm::Bgr24);
            m_source.SetSizeForWriting(sourceWidth, sourceHeight);
        }
    } catch (const std::bad_alloc&) {
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    }
}

ResampleStream::~ResampleStream() = default;

void ResampleStream::AddRows(const std::uint8_t* first, std::int64_t step, int count)
{
    count = std::min(count, m_sourceHeight - m_added);
    if (m_vector && step == 0) {
        m_vector->AddRepeatedRow(first, count);
    } else if (m_vector) {
        m_vector->AddRows(first, step, count);
    }
    for (int i = 0; i < count && !m_vector; ++i) {
        const int row = m_bottomUp ? m_sourceHeight - 1 - (m_added + i) : m_added + i;
        std::memcpy(m_source.Row(row).data(), first + step * i, static_cast<std::size_t>(m_sourceWidth) * 3);
    }
    m_added += std::max(count, 0);
}

Raster ResampleStream::Finish()
{
    if (m_added < m_sourceHeight) {
        throw std::logic_error("ResampleStream::Finish before every source row was added");
    }
    if (m_vector) {
        return m_vector->TakeResult();
    }
    Raster result;
    try {
        result = ResampleReference(m_source, m_width, m_height);
    } catch (const std::bad_alloc&) {
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    }
    if (!m_sink)
        return result;
    for (int y = 0; y < result.Height(); ++y)
        m_sink(result.Row(m_bottomUp ? result.Height() - 1 - y : y).data());
    return Raster();
}

}  // namespace picbatch
