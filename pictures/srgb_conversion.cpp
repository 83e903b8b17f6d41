// The conversion to sRGB through LittleCMS, its handles owned here.
#include "pictures/srgb_conversion.h"

#include <lcms2.h>

#include <memory>
#include <new>

#include "imaging/raster.h"

namespace picbatch {

namespace {

struct ProfileRelease {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using ProfilePointer = std::unique_ptr<void, ProfileRelease>;

struct TransformRelease {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using TransformPointer = std::unique_ptr<void, TransformRelease>;

// An ICC header is 128 bytes; a profile that claims more than it has is refused by LittleCMS.
constexpr std::size_t kIccHeaderBytes = 128;

ProfilePointer OpenRgbProfile(std::span<const std::uint8_t> icc)
{
    if (icc.size() < kIccHeaderBytes)
        return nullptr;
    ProfilePointer profile(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
    if (!profile || cmsGetColorSpace(profile.get()) != cmsSigRgbData)
        return nullptr;
    return profile;
}

}  // namespace

bool IsRgbProfile(std::span<const std::uint8_t> icc)
{
    return OpenRgbProfile(icc) != nullptr;
}

bool ConvertToSrgb(Raster& picture, std::span<const std::uint8_t> icc)
{
    const ProfilePointer source = OpenRgbProfile(icc);
    if (!source)
        return false;
    const ProfilePointer srgb(cmsCreate_sRGBProfile());
    if (!srgb)
        throw std::bad_alloc();
    const TransformPointer transform(
        cmsCreateTransform(source.get(), TYPE_BGR_8, srgb.get(), TYPE_BGR_8, INTENT_PERCEPTUAL, 0));
    if (!transform)
        return false;
    for (int y = 0; y < picture.Height(); ++y) {
        std::uint8_t* row = picture.Row(y).data();
        cmsDoTransform(transform.get(), row, row, static_cast<cmsUInt32Number>(picture.Width()));
    }
    return true;
}

}  // namespace picbatch
