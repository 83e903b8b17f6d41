// JpegImage: a JPEG picture as compressed bytes, a decoded Raster, or both, converted
// on demand through libjpeg with fixed parameters.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/jpeg/jpeg_error.h"
#include "pictures/jpeg/jpeg_settings.h"
#include "pictures/read_notes.h"

namespace picbatch {

// An operation that a picture object does not allow.
class PictureOperationError : public Error {
public:
    using Error::Error;
};

struct JpegData;

// One JPEG picture: compressed data (shared by reference), a cached decoded Raster, or both.
// Each libjpeg object lives for one call; every libjpeg failure throws JpegError after it is gone.
class JpegImage {
public:
    JpegImage();
    ~JpegImage();
    JpegImage(const JpegImage&) = delete;
    JpegImage& operator=(const JpegImage&) = delete;

    JpegSettings& Settings() { return m_settings; }
    const JpegSettings& Settings() const { return m_settings; }

    // Takes bytes as the compressed data and reads the header (width, height, grayscale,
    // progressive). Zero bytes read no header. Throws JpegError.
    void LoadJpegData(std::span<const std::uint8_t> bytes);
    // The same, taking over the caller's buffer instead of copying it.
    void LoadJpegData(std::vector<std::uint8_t>&& bytes);

    // The decoded picture's size when one is cached, else the header's (0 before any).
    int Width() const;
    int Height() const;
    // Refused: throws PictureOperationError "Cannot change the size of a JPEG image".
    void SetWidth(int width);
    void SetHeight(int height);

    // The decoded picture, decoding the compressed data first when none is cached.
    const Raster& DecodeJpeg();
    // Decodes if needed and draws the picture onto target at (0, 0); no-op when empty.
    void DrawJpeg(Raster& target);
    // Hands the decoded picture over (decoding first if needed); the object keeps an
    // empty cache. Saves a copy where the caller only wants the pixels.
    Raster TakePicture();
    // What the last decoding of the compressed data noticed; nothing before any.
    const ReadNotes& DecodeNotes() const { return m_notes; }

    // Replaces the compressed data by none and the cached picture by (a shared copy of)
    // picture. Nothing is encoded yet.
    void AssignPicture(const Raster& picture);

    // Encodes the cached picture when there is no compressed data, then appends all
    // compressed bytes to out. A second call appends the same bytes without encoding.
    void SaveJpegData(std::vector<std::uint8_t>& out);

    // The embedded record: 32-bit little-endian byte count, then the JPEG bytes.
    // ReadEmbedded returns the number of bytes consumed; throws "Stream read error".
    std::size_t ReadEmbedded(std::span<const std::uint8_t> bytes);
    void WriteEmbedded(std::vector<std::uint8_t>& out);

private:
    std::shared_ptr<JpegData> m_data;
    std::optional<Raster> m_picture;
    ReadNotes m_notes;
    JpegSettings m_settings;
};

}  // namespace picbatch
