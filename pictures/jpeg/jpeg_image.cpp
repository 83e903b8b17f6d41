// JpegImage: compressed bytes and a decoded picture, each made from the other on demand.
#include "pictures/jpeg/jpeg_image.h"

#include <utility>

#include "pictures/jpeg/jpeg_decoder.h"
#include "pictures/jpeg/jpeg_encoder.h"

namespace picbatch {

// The compressed data, shared between holders.
struct JpegData {
    std::optional<std::vector<std::uint8_t>> bytes;  // absent until loaded or encoded
    int height = 0;
    int width = 0;
    bool grayscale = false;
};

namespace {

constexpr const char* kCannotChangeSize = "Cannot change the size of a JPEG image";

// The embedded record's byte count: 32 bits, little-endian.
constexpr std::size_t kCountBytes = 4;

}  // namespace

JpegImage::JpegImage()
    : m_data(std::make_shared<JpegData>()), m_settings(DefaultJpegSettings())
{
}

JpegImage::~JpegImage() = default;

void JpegImage::LoadJpegData(std::span<const std::uint8_t> bytes)
{
    LoadJpegData(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

void JpegImage::LoadJpegData(std::vector<std::uint8_t>&& bytes)
{
    m_data = std::make_shared<JpegData>();
    m_picture.reset();
    m_notes = {};
    m_data->bytes = std::move(bytes);
    if (m_data->bytes->empty())
        return;  // no header to read; decoding will fail with "empty input"
    const JpegHeader header = ReadJpegHeader(*m_data->bytes);
    m_data->width = header.width;
    m_data->height = header.height;
    m_data->grayscale = header.grayscale;
    m_settings.progressiveEncoding = header.progressive;
}

int JpegImage::Width() const
{
    return m_picture && !m_picture->Empty() ? m_picture->Width() : m_data->width;
}

int JpegImage::Height() const
{
    return m_picture && !m_picture->Empty() ? m_picture->Height() : m_data->height;
}

void JpegImage::SetWidth(int)
{
    throw PictureOperationError(kCannotChangeSize);
}

void JpegImage::SetHeight(int)
{
    throw PictureOperationError(kCannotChangeSize);
}

const Raster& JpegImage::DecodeJpeg()
{
    if (m_picture)
        return *m_picture;
    // The picture becomes the cache before decoding: after a failure it keeps the rows
    // decoded so far, and later requests return it without decoding again.
    m_picture.emplace();
    if (m_data->bytes)
        m_notes = DecodeJpegPicture(*m_data->bytes, m_settings, *m_picture);
    return *m_picture;
}

void JpegImage::DrawJpeg(Raster& target)
{
    const bool noPicture = !m_picture || m_picture->Empty();
    if (!m_data->bytes && noPicture)
        return;
    // Onto a Bgr24 target of the picture's size DrawPicture shares the store: no copy.
    target.DrawPicture(DecodeJpeg());
}

Raster JpegImage::TakePicture()
{
    DecodeJpeg();
    Raster picture = std::move(*m_picture);
    m_picture.emplace();
    return picture;
}

void JpegImage::AssignPicture(const Raster& picture)
{
    m_data = std::make_shared<JpegData>();
    m_picture = picture;
    m_notes = {};
}

void JpegImage::SaveJpegData(std::vector<std::uint8_t>& out)
{
    if (!m_data->bytes) {
        std::vector<std::uint8_t> encoded;
        if (m_picture && m_picture->Width() > 0 && m_picture->Height() > 0) {
            // A failed encode leaves no compressed data behind, so that saving again fails
            // again instead of writing a partial stream.
            EncodeJpegPicture(*m_picture, m_settings, encoded);
            m_data->width = m_picture->Width();
            m_data->height = m_picture->Height();
            m_data->grayscale = m_settings.grayscale;
        }
        m_data->bytes = std::move(encoded);
    }
    out.insert(out.end(), m_data->bytes->begin(), m_data->bytes->end());
}

std::size_t JpegImage::ReadEmbedded(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kCountBytes)
        throw Error(kStreamReadError);
    const std::uint32_t count = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8
        | std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
    if (count > bytes.size() - kCountBytes)
        throw Error(kStreamReadError);
    LoadJpegData(bytes.subspan(kCountBytes, count));
    return kCountBytes + count;
}

void JpegImage::WriteEmbedded(std::vector<std::uint8_t>& out)
{
    // A picture without compressed data is encoded first: writing a count of 0 for it
    // would lose the picture.
    std::vector<std::uint8_t> bytes;
    if (m_data->bytes || (m_picture && !m_picture->Empty()))
        SaveJpegData(bytes);
    const auto count = static_cast<std::uint32_t>(bytes.size());
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(count >> shift));
    out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace picbatch
