// The resampler on premultiplied colours: a source row is premultiplied and filtered to the
// target width when the first target row needs it, and kept in a ring of rows until the
// target rows have moved past it; each target row is the weighted sum of its kept rows.
#include "imaging/resample_alpha.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "imaging/error.h"
#include "imaging/lanczos_contributors.h"
#include "imaging/limits.h"

namespace picbatch {

namespace {

constexpr int kChannels = 4;  // blue, green, red, alpha
constexpr int kAlpha = 3;
// Values between the passes are kept at 255 x 255: colours as c x a, alpha as a x 255. At
// that scale a pixel that meets a single weight comes back exactly, and the colours of
// nearly transparent pixels keep their precision.
constexpr std::int32_t kFull = 255 * 255;

// The 24-bit resampler's division: by the list's total (256, what the weights should sum to,
// when they cancel out), truncated toward zero; then limited to 0..kFull.
std::int32_t Divided(std::int64_t sum, std::int64_t total)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(sum / (total != 0 ? total : 256), 0, kFull));
}

// Lanczos lobes may push a colour above its alpha, which no premultiplied pixel can hold.
void LimitToAlpha(std::int32_t* pixel)
{
    for (int c = 0; c < kAlpha; ++c)
        pixel[c] = std::min(pixel[c], pixel[kAlpha]);
}

std::int64_t TotalWeight(const PixelContributions& entry)
{
    std::int64_t total = 0;
    for (std::int32_t c = 0; c < entry.count; ++c)
        total += entry.contributors[static_cast<std::size_t>(c)].weight;
    return total;
}

// The most source rows one target row reaches, between its lowest and its highest.
std::int32_t WidestWindow(const ContributionList& list)
{
    std::int32_t widest = 1;
    for (const PixelContributions& entry : list) {
        std::int32_t low = INT32_MAX;
        std::int32_t high = 0;
        for (std::int32_t c = 0; c < entry.count; ++c) {
            low = std::min(low, entry.contributors[static_cast<std::size_t>(c)].pixel);
            high = std::max(high, entry.contributors[static_cast<std::size_t>(c)].pixel);
        }
        if (entry.count > 0)
            widest = std::max(widest, high - low + 1);
    }
    return widest;
}

// Source rows filtered to the target width, premultiplied, at kFull scale. A row r lives in
// slot r mod the ring's size: every target row reaches fewer rows than that, so the rows one
// target row needs never share a slot.
class FilteredRows {
public:
    FilteredRows(const Raster& source, int width, std::int32_t slots)
        : m_source(source),
          m_list(BuildContributors(source.Width(), width, AxisScale(source.Width(), width))),
          m_width(width),
          m_slotRows(static_cast<std::size_t>(slots), -1),
          m_line(static_cast<std::size_t>(source.Width()) * kChannels)
    {
        if (std::int64_t{slots} * width > kMaxPicturePixels)
            throw Error(kOutOfSystemResources, FailureCause::TooLarge);
        m_values.resize(static_cast<std::size_t>(slots) * static_cast<std::size_t>(width) * kChannels);
        m_totals.reserve(m_list.size());
        for (const PixelContributions& entry : m_list)
            m_totals.push_back(TotalWeight(entry));
    }

    const std::int32_t* Row(std::int32_t y)
    {
        const auto slot = static_cast<std::size_t>(y) % m_slotRows.size();
        std::int32_t* values = m_values.data() + slot * static_cast<std::size_t>(m_width) * kChannels;
        if (m_slotRows[slot] != y) {
            Filter(y, values);
            m_slotRows[slot] = y;
        }
        return values;
    }

private:
    void Filter(std::int32_t y, std::int32_t* out)
    {
        const std::uint8_t* in = m_source.Row(y).data();
        for (std::size_t i = 0; i < m_line.size(); i += kChannels) {
            const std::int32_t alpha = in[i + kAlpha];
            for (int c = 0; c < kAlpha; ++c)
                m_line[i + c] = in[i + c] * alpha;
            m_line[i + kAlpha] = alpha * 255;
        }
        for (std::size_t x = 0; x < m_list.size(); ++x) {
            const PixelContributions& entry = m_list[x];
            std::int64_t sums[kChannels] = {};
            for (std::int32_t c = 0; c < entry.count; ++c) {
                const Contribution& contribution = entry.contributors[static_cast<std::size_t>(c)];
                const std::int32_t* pixel = m_line.data() + static_cast<std::size_t>(contribution.pixel) * kChannels;
                for (int channel = 0; channel < kChannels; ++channel)
                    sums[channel] += std::int64_t{contribution.weight} * pixel[channel];
            }
            std::int32_t* target = out + x * kChannels;
            for (int channel = 0; channel < kChannels; ++channel)
                target[channel] = Divided(sums[channel], m_totals[x]);
            LimitToAlpha(target);
        }
    }

    const Raster& m_source;
    const ContributionList m_list;
    const int m_width;
    std::vector<std::int64_t> m_totals;
    std::vector<std::int32_t> m_slotRows;  // the source row each slot holds, -1 for none
    std::vector<std::int32_t> m_values;
    std::vector<std::int32_t> m_line;      // one source row, premultiplied
};

// A premultiplied pixel at kFull scale back to straight 8-bit alpha, rounded.
void Unpremultiply(const std::int32_t* pixel, std::uint8_t* out)
{
    const std::int64_t alpha = pixel[kAlpha];
    for (int c = 0; c < kAlpha; ++c)
        out[c] = alpha > 0 ? static_cast<std::uint8_t>(std::min<std::int64_t>(255, (pixel[c] * 255 + alpha / 2) / alpha))
                           : 0;
    out[kAlpha] = static_cast<std::uint8_t>((alpha + 127) / 255);
}

}  // namespace

Raster ResampleAlpha(const Raster& source, int width, int height)
{
    const ContributionList list = BuildContributors(source.Height(), height, AxisScale(source.Height(), height));
    FilteredRows rows(source, width, WidestWindow(list));

    Raster result;
    result.SetPixelForm(PixelForm::Bgra32);
    result.SetSizeForWriting(width, height);
    const std::size_t values = static_cast<std::size_t>(width) * kChannels;
    std::vector<std::int64_t> sums(values);
    std::vector<std::int32_t> pixels(values);
    for (int y = 0; y < height; ++y) {
        const PixelContributions& entry = list[static_cast<std::size_t>(y)];
        std::fill(sums.begin(), sums.end(), 0);
        for (std::int32_t c = 0; c < entry.count; ++c) {
            const Contribution& contribution = entry.contributors[static_cast<std::size_t>(c)];
            const std::int32_t* row = rows.Row(contribution.pixel);
            for (std::size_t i = 0; i < values; ++i)
                sums[i] += std::int64_t{contribution.weight} * row[i];
        }
        const std::int64_t total = TotalWeight(entry);
        std::uint8_t* out = result.Row(y).data();
        for (std::size_t i = 0; i < values; i += kChannels) {
            for (int channel = 0; channel < kChannels; ++channel)
                pixels[i + channel] = Divided(sums[i + channel], total);
            LimitToAlpha(pixels.data() + i);
            Unpremultiply(pixels.data() + i, out + i);
        }
    }
    return result;
}

}  // namespace picbatch
