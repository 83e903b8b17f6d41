// Reading PNG files with libspng: the header is checked against the size limits before the
// store is made, then the rows are decoded straight into the Raster's rows.
#include "pictures/png/png.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include <zlib.h>
#include <utility>

#include "imaging/error.h"
#include "imaging/limits.h"
#include "imaging/raster.h"
#include "pictures/decoded_store.h"
#include "pictures/png/spng_context.h"

namespace picbatch {

namespace {

// What libspng may keep of one ancillary chunk and of all of them (text, profiles): the
// picture needs none, and real files carry far less. libspng reports more as out of memory.
constexpr std::size_t kMaxChunkBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxChunkCache = std::size_t{64} << 20;

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Whether a chunk that libspng passes over, as it does an ancillary one whose checksum does
// not match, was damaged: the file's ancillary chunks (first letter lower case) are checked
// here, as far as the bytes go, up to the end chunk.
bool AncillaryChunkDamaged(std::span<const std::uint8_t> bytes)
{
    const auto number = [&](std::size_t at) {
        return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 | std::uint32_t{bytes[at + 2]} << 8
            | bytes[at + 3];
    };
    for (std::size_t at = kSignature.size(); bytes.size() - at >= 12;) {
        const std::uint32_t length = number(at);
        if (length > bytes.size() - at - 12)
            return false;  // cut short: what is missing is told as such
        const std::uint8_t* type = bytes.data() + at + 4;
        if (std::memcmp(type, "IEND", 4) == 0)
            return false;
        const bool ancillary = (type[0] & 0x20) != 0;
        if (ancillary && ::crc32(::crc32(0, nullptr, 0), type, 4 + length) != number(at + 8 + length))
            return true;
        at += std::size_t{12} + length;
    }
    return false;
}

bool EndedEarly(int code)
{
    return code == SPNG_IO_EOF || code == SPNG_EOF;
}

// Raises libspng's failure before the picture data: a file that ended there was cut before
// its picture; sides beyond the limits set are too large.
void Require(int code)
{
    if (code == 0)
        return;
    if (EndedEarly(code))
        throw Error(kStreamReadError, FailureCause::CutBeforePicture);
    if (code == SPNG_EUSER_WIDTH || code == SPNG_EUSER_HEIGHT)
        throw Error(kPngTooLarge, FailureCause::TooLarge);
    throw PngError(code);
}

// Sets the decoder over bytes and reads the header, checked against the size limits.
spng_ihdr OpenPng(spng_ctx* context, std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        throw Error(kStreamReadError, FailureCause::EmptyFile);
    // libspng reads the signature and the header as one: a short file that is no PNG at all
    // would otherwise count as a PNG cut short.
    const std::size_t present = std::min(bytes.size(), kSignature.size());
    if (!std::equal(kSignature.begin(), kSignature.begin() + static_cast<std::ptrdiff_t>(present), bytes.begin()))
        throw PngError(SPNG_ESIGNATURE);
    Require(spng_set_image_limits(context, static_cast<std::uint32_t>(kMaxPictureSide),
                                  static_cast<std::uint32_t>(kMaxPictureSide)));
    Require(spng_set_chunk_limits(context, kMaxChunkBytes, kMaxChunkCache));
    Require(spng_set_png_buffer(context, bytes.data(), bytes.size()));
    spng_ihdr header{};
    Require(spng_get_ihdr(context, &header));
    if (!PictureSizeAllowed(header.width, header.height))
        throw Error(kPngTooLarge, FailureCause::TooLarge);
    return header;
}

// An alpha channel, or a tRNS chunk that gives a colour or palette entries transparency.
bool HasTransparency(spng_ctx* context, const spng_ihdr& header)
{
    if (header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA || header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA)
        return true;
    spng_trns transparency{};
    const int code = spng_get_trns(context, &transparency);
    if (code == SPNG_ECHUNKAVAIL)
        return false;
    Require(code);
    return true;
}

// libspng decodes red first; the Raster holds blue first.
void SwapRedAndBlue(Raster& picture, std::size_t pixelBytes)
{
    for (int y = 0; y < picture.Height(); ++y) {
        const auto row = picture.Row(y);
        for (std::size_t x = 0; x < static_cast<std::size_t>(picture.Width()); ++x)
            std::swap(row[pixelBytes * x], row[pixelBytes * x + 2]);
    }
}

// Decodes every row into picture, in the file's order (an interlaced file visits rows once
// per pass), counting in decoded the rows decoded whole. Returns libspng's last code:
// SPNG_EOI once every row is there.
int DecodeRows(spng_ctx* context, Raster& picture, std::size_t rowBytes, int& decoded)
{
    int code = 0;
    decoded = 0;
    while (code == 0) {
        spng_row_info info{};
        code = spng_get_row_info(context, &info);
        if (code != 0)
            break;
        if (info.row_num >= static_cast<std::uint32_t>(picture.Height()))
            return SPNG_EINTERNAL;
        code = spng_decode_row(context, picture.Row(static_cast<int>(info.row_num)).data(), rowBytes);
        if (code == 0 || code == SPNG_EOI)
            ++decoded;
    }
    return code;
}

}  // namespace

PictureSize ReadPngSize(std::span<const std::uint8_t> bytes)
{
    const SpngContext context(0);
    const spng_ihdr header = OpenPng(context.Get(), bytes);
    return {static_cast<int>(header.width), static_cast<int>(header.height)};
}

ReadNotes ParsePng(std::span<const std::uint8_t> bytes, Raster& raster)
{
    const SpngContext context(0);
    const spng_ihdr header = OpenPng(context.Get(), bytes);
    const bool alpha = HasTransparency(context.Get(), header);
    Require(spng_decode_image(context.Get(), nullptr, 0, alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8,
                              SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE));

    // The rows of a file that is not interlaced come in order: those it leaves out are made
    // opaque afterwards, so that a file failing half-way costs only the rows it has.
    const bool inOrder = header.interlace_method == SPNG_INTERLACE_NONE;
    Raster picture =
        MakeDecodedStore(static_cast<int>(header.width), static_cast<int>(header.height), alpha, !inOrder);
    const std::size_t pixelBytes = alpha ? 4 : 3;
    ReadNotes notes;
    notes.lossless = true;
    int decoded = 0;
    int code = DecodeRows(context.Get(), picture, pixelBytes * header.width, decoded);
    // The rest of the file up to its end chunk, the last data chunk's checksum among it: a
    // file cut there is noted, a checksum that does not match is the picture's failure as
    // it is before the data. Other damage there is not raised, as every pixel came through
    // zlib's own checksum.
    if (code == SPNG_EOI) {
        const int trailing = spng_decode_chunks(context.Get());
        if (EndedEarly(trailing))
            code = SPNG_IO_EOF;
        else if (trailing == SPNG_ECHUNK_CRC)
            throw PngError(trailing);
    }
    notes.damaged = AncillaryChunkDamaged(bytes);
    if (code != SPNG_EOI) {
        if (!EndedEarly(code))
            throw PngError(code);
        notes.incomplete = true;
    }
    if (alpha && inOrder && decoded < picture.Height())
        MakeOpaqueFrom(picture, decoded);
    SwapRedAndBlue(picture, pixelBytes);
    DropOpaqueAlpha(picture);
    raster = std::move(picture);
    return notes;
}

}  // namespace picbatch
