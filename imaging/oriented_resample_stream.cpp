// Resampling the upright form of a picture that arrives in stored rows. Stored rows that
// must be mirrored are reversed as they come; rows that come in the reverse of the upright
// order go through the vertical pass with its list read from the far end (ResampleStream's
// bottomUp). When the upright rows are the stored columns, the upright picture's rows-then-
// columns resampling is the stored picture's columns-then-rows resampling turned: both
// passes form each pixel the same way from 8-bit values, so the intermediate values are
// the same, and a pass to an unchanged length leaves every pixel as it is (its only weight
// is the pixel's own, 256).
#include "imaging/oriented_resample_stream.h"

#include "imaging/error.h"
#include "imaging/limits.h"
#include "imaging/resample.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace picbatch {

namespace {

constexpr std::int64_t kPixelBytes = 3;

}  // namespace

OrientedResampleStream::OrientedResampleStream(int sourceWidth, int sourceHeight, Orientation orientation, int width,
                                               int height, TargetRowSink sink, ResamplePath path)
    : m_sourceWidth(sourceWidth), m_width(width), m_height(height), m_swaps(SwapsSides(orientation)),
      // Stored columns read bottom up are stored rows that come bottom up, and upright rows
      // taken from the right column first are mirrored stored rows.
      m_mirrorRows(m_swaps ? ReversesLineOrder(orientation) : ReversesLines(orientation)),
      m_sink(std::move(sink)), m_bottomUp(m_swaps ? ReversesLines(orientation) : ReversesLineOrder(orientation))
{
    // ResampleLanczos's checks for the upright picture, in its order.
    const int uprightHeight = m_swaps ? sourceWidth : sourceHeight;
    if (width < 1 || height < 1)
        throw Error(kInvalidTargetSize);
    if (sourceWidth < 1 || sourceHeight < 1)
        throw Error(kEmptySourcePicture);
    if (std::int64_t{width} * uprightHeight > kMaxPicturePixels || std::int64_t{width} * height > kMaxPicturePixels)
        throw Error(kOutOfSystemResources, FailureCause::TooLarge);
    try {
        if (m_mirrorRows)
            m_mirrored.resize(static_cast<std::size_t>(kPixelBytes * sourceWidth));
        const auto keep = [this](const std::uint8_t* bgr) { KeepTargetRow(bgr); };
        if (m_swaps) {
            // The turned result: height wide, width tall.
            m_kept.SetPixelForm(PixelForm::Bgr24);
            m_kept.SetSizeForWriting(height, width);
            m_second = std::make_unique<ResampleStream>(sourceWidth, width, height, width, keep, path);
            m_first = std::make_unique<ResampleStream>(
                sourceWidth, sourceHeight, sourceWidth, width,
                [this](const std::uint8_t* bgr) { m_second->AddRows(bgr, 0, 1); }, path, m_bottomUp);
        } else if (KeepsTargetWhole(orientation, static_cast<bool>(m_sink))) {
            m_kept.SetPixelForm(PixelForm::Bgr24);
            m_kept.SetSizeForWriting(width, height);
            m_first = std::make_unique<ResampleStream>(sourceWidth, sourceHeight, width, height, keep, path, true);
        } else {
            m_first = std::make_unique<ResampleStream>(sourceWidth, sourceHeight, width, height, m_sink, path,
                                                       m_bottomUp);
        }
    } catch (const std::bad_alloc&) {
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    }
}

OrientedResampleStream::~OrientedResampleStream() = default;

bool OrientedResampleStream::KeepsTargetWhole(Orientation orientation, bool toSink)
{
    if (SwapsSides(orientation))
        return true;
    return toSink && ReversesLineOrder(orientation);
}

void OrientedResampleStream::KeepTargetRow(const std::uint8_t* bgr)
{
    // Bottom-up rows fill the kept picture from its last row; the turned picture's rows come
    // in its own order.
    const int row = m_swaps || !m_bottomUp ? m_keptRows : m_height - 1 - m_keptRows;
    if (row < 0 || row >= m_kept.Height())
        throw std::logic_error("OrientedResampleStream: more target rows than the picture has");
    std::memcpy(m_kept.Row(row).data(), bgr, static_cast<std::size_t>(kPixelBytes * m_kept.Width()));
    ++m_keptRows;
}

void OrientedResampleStream::AddRows(const std::uint8_t* first, std::int64_t step, int count)
{
    if (!m_mirrorRows) {
        m_first->AddRows(first, step, count);
        return;
    }
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* in = first + step * i;
        std::uint8_t* out = m_mirrored.data() + kPixelBytes * (m_sourceWidth - 1);
        for (int x = 0; x < m_sourceWidth; ++x, in += kPixelBytes, out -= kPixelBytes)
            std::memcpy(out, in, kPixelBytes);
        m_first->AddRows(m_mirrored.data(), 0, 1);
    }
}

// The result from the turned picture: result pixel (x, y) is turned pixel (y, x), where the
// turned rows came bottom up when the stored rows did.
Raster OrientedResampleStream::Turned()
{
    Raster result;
    std::vector<std::uint8_t> line;
    if (m_sink) {
        line.resize(static_cast<std::size_t>(kPixelBytes * m_width));
    } else {
        result.SetPixelForm(PixelForm::Bgr24);
        result.SetSizeForWriting(m_width, m_height);
    }
    std::vector<const std::uint8_t*> turnedRows(static_cast<std::size_t>(m_width));
    for (int x = 0; x < m_width; ++x)
        turnedRows[static_cast<std::size_t>(x)] = std::as_const(m_kept).Row(m_bottomUp ? m_width - 1 - x : x).data();
    for (int y = 0; y < m_height; ++y) {
        std::uint8_t* out = m_sink ? line.data() : result.Row(y).data();
        for (int x = 0; x < m_width; ++x)
            std::memcpy(out + kPixelBytes * x, turnedRows[static_cast<std::size_t>(x)] + kPixelBytes * y, kPixelBytes);
        if (m_sink)
            m_sink(out);
    }
    return result;
}

Raster OrientedResampleStream::Finish()
{
    Raster result = m_first->Finish();
    try {
        if (m_swaps) {
            m_second->Finish();
            return Turned();
        }
        if (!m_kept.Empty()) {
            for (int y = 0; y < m_height; ++y)
                m_sink(std::as_const(m_kept).Row(y).data());
        }
    } catch (const std::bad_alloc&) {
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    }
    return result;
}

}  // namespace picbatch
