// JPEG files with the metadata cameras write, made here: an EXIF block built with libexif
// (orientation, pixel dimensions, a GPS entry, a thumbnail) and an ICC profile made by
// LittleCMS, written by libjpeg itself.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <lcms2.h>
#include <libexif/exif-data.h>

#include "tests/common/libjpeg_compress.h"

namespace picbatch {

struct ExifRelease {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
using ExifPointer = std::unique_ptr<ExifData, ExifRelease>;

// An entry of content made by hand: libexif only initialises the tags of the main IFDs.
inline void AddExifEntry(ExifContent* content, ExifTag tag, ExifFormat format, const std::vector<std::uint8_t>& bytes,
                         unsigned long components)
{
    ExifEntry* entry = exif_entry_new();
    entry->tag = tag;
    entry->format = format;
    entry->components = components;
    entry->size = static_cast<unsigned int>(bytes.size());
    entry->data = static_cast<unsigned char*>(std::malloc(bytes.size()));  // libexif frees it
    std::memcpy(entry->data, bytes.data(), bytes.size());
    exif_content_add_entry(content, entry);
    exif_entry_unref(entry);
}

// What the EXIF block of a test file holds.
struct ExifContents {
    std::optional<int> orientation;
    int pixelWidth = 0;   // 0: no pixel dimension tags
    int pixelHeight = 0;
    bool gps = false;
    std::vector<std::uint8_t> thumbnail;  // any bytes; empty: none
};

inline std::vector<std::uint8_t> ExifBlock(const ExifContents& contents);

// A block with an orientation tag and nothing else of note.
inline std::vector<std::uint8_t> ExifBlock(int orientation)
{
    ExifContents contents;
    contents.orientation = orientation;
    return ExifBlock(contents);
}

inline std::vector<std::uint8_t> ExifBlock(const ExifContents& contents)
{
    const ExifPointer data(exif_data_new());
    exif_data_set_byte_order(data.get(), EXIF_BYTE_ORDER_INTEL);
    const auto shortBytes = [](int v) {
        return std::vector<std::uint8_t>{static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)};
    };
    if (contents.orientation)
        AddExifEntry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION, EXIF_FORMAT_SHORT, shortBytes(*contents.orientation), 1);
    AddExifEntry(data->ifd[EXIF_IFD_0], EXIF_TAG_MAKE, EXIF_FORMAT_ASCII, {'M', 'a', 'k', 'e', 'r', 0}, 6);
    if (contents.pixelWidth > 0) {
        AddExifEntry(data->ifd[EXIF_IFD_EXIF], EXIF_TAG_PIXEL_X_DIMENSION, EXIF_FORMAT_SHORT,
                     shortBytes(contents.pixelWidth), 1);
        AddExifEntry(data->ifd[EXIF_IFD_EXIF], EXIF_TAG_PIXEL_Y_DIMENSION, EXIF_FORMAT_SHORT,
                     shortBytes(contents.pixelHeight), 1);
    }
    if (contents.gps)
        AddExifEntry(data->ifd[EXIF_IFD_GPS], static_cast<ExifTag>(EXIF_TAG_GPS_LATITUDE_REF), EXIF_FORMAT_ASCII,
                     {'N', 0}, 2);
    if (!contents.thumbnail.empty()) {
        data->data = static_cast<unsigned char*>(std::malloc(contents.thumbnail.size()));  // libexif frees it
        std::memcpy(data->data, contents.thumbnail.data(), contents.thumbnail.size());
        data->size = static_cast<unsigned int>(contents.thumbnail.size());
    }
    unsigned char* saved = nullptr;
    unsigned int size = 0;
    exif_data_save_data(data.get(), &saved, &size);
    std::vector<std::uint8_t> block(saved, saved + size);
    std::free(saved);
    return block;
}

// A profile's bytes as LittleCMS saves them.
inline std::vector<std::uint8_t> SavedProfile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// An RGB profile with the sRGB primaries and D65 white but a plain gamma of 1.8, so its
// conversion to sRGB changes every mid tone; with copyright text, a copyright tag of that
// length, to make the profile as long as a test needs.
inline std::vector<std::uint8_t> Gamma18Profile(std::size_t copyright = 0)
{
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    if (copyright > 0) {
        cmsMLU* text = cmsMLUalloc(nullptr, 1);
        cmsMLUsetASCII(text, "en", "US", std::string(copyright, 'c').c_str());
        cmsWriteTag(profile, cmsSigCopyrightTag, text);
        cmsMLUfree(text);
    }
    return SavedProfile(profile);
}

// A JPEG of picture's pixels (width x height, blue-green-red samples from sample) with the
// given EXIF block and ICC profile, written by libjpeg.
inline std::vector<std::uint8_t> TaggedJpeg(int width, int height, const SampleFn& bgrSample,
                                            const std::vector<std::uint8_t>& exif,
                                            const std::vector<std::uint8_t>& icc)
{
    return LibjpegCompress(
        width, height, 3, JCS_EXT_BGR, bgrSample, {}, [&](jpeg_compress_struct& cinfo) {
            if (!exif.empty())
                jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned int>(exif.size()));
            if (!icc.empty())
                jpeg_write_icc_profile(&cinfo, icc.data(), static_cast<unsigned int>(icc.size()));
        });
}

}  // namespace picbatch
