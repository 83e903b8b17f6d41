// The libspng context's ownership and the errors of libspng's codes.
#include "pictures/png/spng_context.h"

#include <string>
#include <string_view>

#include "pictures/png/png.h"

namespace picbatch {

namespace {

FailureCause CauseOfSpngCode(int code)
{
    switch (code) {
    case SPNG_ESIGNATURE:
        return FailureCause::NotAPicture;
    case SPNG_ECHUNK_CRC:  // of a chunk the picture needs
        return FailureCause::Damaged;
    case SPNG_EMEM:
    case SPNG_ECHUNK_LIMITS:  // the chunk limits are how libspng bounds its memory
        return FailureCause::OutOfMemory;
    default:
        return FailureCause::Unknown;
    }
}

}  // namespace

SpngContext::SpngContext(int flags) : m_context(spng_ctx_new(flags))
{
    if (!m_context)
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
}

Error PngError(int code)
{
    const FailureCause cause = CauseOfSpngCode(code);
    return Error("PNG error #" + std::to_string(code), cause,
                 cause == FailureCause::NotAPicture ? kNotAPngExplanation : std::string_view());
}

}  // namespace picbatch
