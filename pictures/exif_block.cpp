// The EXIF block through libexif, loaded with every tag kept as the file has it.
#include "pictures/exif_block.h"

#include <libexif/exif-data.h>

#include <cstdlib>
#include <memory>

namespace picbatch {

namespace {

// An APP1 segment holds at most 65535 bytes, 2 of them its length.
constexpr std::size_t kMaxSegmentPayload = 65533;

struct ExifDataRelease {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
using ExifDataPointer = std::unique_ptr<ExifData, ExifDataRelease>;

struct MallocRelease {
    void operator()(unsigned char* bytes) const { std::free(bytes); }  // NOLINT(*-no-malloc): libexif's own allocator
};

// The block loaded as it is: no tag added, dropped or moved to follow the standard, the maker
// note left alone. Null when libexif cannot read it (no IFD came out of it).
ExifDataPointer Load(std::span<const std::uint8_t> exif)
{
    ExifDataPointer data(exif_data_new());
    if (!data)
        return nullptr;
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_option(data.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
    if (exif.empty() || exif.size() > kMaxSegmentPayload)
        return nullptr;
    exif_data_load_data(data.get(), exif.data(), static_cast<unsigned int>(exif.size()));
    if (data->ifd[EXIF_IFD_0]->count == 0)
        return nullptr;
    return data;
}

// A tag of one SHORT or LONG value, as the standard writes the ones used here.
bool HoldsOneNumber(const ExifEntry* entry)
{
    if (!entry || entry->components < 1)
        return false;
    return (entry->format == EXIF_FORMAT_SHORT && entry->size >= 2)
        || (entry->format == EXIF_FORMAT_LONG && entry->size >= 4);
}

void SetNumber(ExifEntry* entry, ExifByteOrder order, std::uint32_t value)
{
    if (!HoldsOneNumber(entry))
        return;
    if (entry->format == EXIF_FORMAT_SHORT)
        exif_set_short(entry->data, order, static_cast<ExifShort>(value));
    else
        exif_set_long(entry->data, order, value);
}

void RemoveAll(ExifContent* content)
{
    while (content->count > 0)
        exif_content_remove_entry(content, content->entries[content->count - 1]);
}

}  // namespace

Orientation ExifOrientation(std::span<const std::uint8_t> exif)
{
    const ExifDataPointer data = Load(exif);
    if (!data)
        return Orientation::Normal;
    const ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || entry->size < 2)
        return Orientation::Normal;
    return OrientationOfTag(exif_get_short(entry->data, exif_data_get_byte_order(data.get())));
}

std::vector<std::uint8_t> ExifForOutput(std::span<const std::uint8_t> exif, int width, int height, bool dropGps,
                                        bool resetOrientation)
{
    const ExifDataPointer data = Load(exif);
    if (!data)
        return {};
    const ExifByteOrder order = exif_data_get_byte_order(data.get());
    if (ExifEntry* orientation = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
        resetOrientation && orientation && orientation->format == EXIF_FORMAT_SHORT && orientation->size >= 2)
        exif_set_short(orientation->data, order, 1);
    SetNumber(exif_content_get_entry(data->ifd[EXIF_IFD_EXIF], EXIF_TAG_PIXEL_X_DIMENSION), order,
              static_cast<std::uint32_t>(width));
    SetNumber(exif_content_get_entry(data->ifd[EXIF_IFD_EXIF], EXIF_TAG_PIXEL_Y_DIMENSION), order,
              static_cast<std::uint32_t>(height));
    // The thumbnail: its bytes (from libexif's default allocator, malloc) and the IFD that
    // describes it.
    std::free(data->data);  // NOLINT(*-no-malloc): libexif's own allocator
    data->data = nullptr;
    data->size = 0;
    RemoveAll(data->ifd[EXIF_IFD_1]);
    // Without entries the GPS IFD, and its pointer in the first IFD, are not written.
    if (dropGps)
        RemoveAll(data->ifd[EXIF_IFD_GPS]);
    unsigned char* saved = nullptr;
    unsigned int size = 0;
    exif_data_save_data(data.get(), &saved, &size);
    const std::unique_ptr<unsigned char, MallocRelease> owned(saved);
    if (!saved || size == 0 || size > kMaxSegmentPayload)
        return {};
    return {saved, saved + size};
}

}  // namespace picbatch
