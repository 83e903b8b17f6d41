// JpegError: libjpeg's message code as the message and, as far as the code tells it, the cause.
#include "pictures/jpeg/jpeg_error.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <string>
#include <string_view>

#include <jpeglib.h>
#include <jerror.h>

namespace picbatch {

namespace {

// The cause of libjpeg's message code, as far as the code tells it.
FailureCause CauseOfJpegCode(int code, bool endedEarly)
{
    switch (code) {
    case JERR_INPUT_EMPTY:
        return FailureCause::EmptyFile;
    case JERR_NO_SOI:  // also for a file cut within its first two bytes: they are not a JPEG's
        return FailureCause::NotAPicture;
    default:
        break;
    }
    // Whatever failed once the data had ended failed for want of the rest.
    if (endedEarly)
        return FailureCause::CutBeforePicture;
    switch (code) {
    case JERR_NO_IMAGE:
    case JERR_SOF_NO_SOS:
        return FailureCause::CutBeforePicture;
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
        return FailureCause::TooLarge;
    case JERR_OUT_OF_MEMORY:
        return FailureCause::OutOfMemory;
    case JERR_NO_BACKING_STORE:  // the binding's memory limit for one picture
        return FailureCause::TooLargeForMemory;
    case JERR_NOT_COMPILED:      // arithmetic coding
    case JERR_ARITH_NOTIMPL:
    case JERR_SOF_UNSUPPORTED:   // lossless, hierarchical
    case JERR_BAD_PRECISION:     // 12- and 16-bit samples
    case JERR_COMPONENT_COUNT:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_NOTIMPL:
        return FailureCause::Unsupported;
    default:
        return FailureCause::Unknown;
    }
}

// JPEG's own words for the causes whose general explanation cannot name the format.
std::string_view JpegExplanationOf(FailureCause cause)
{
    switch (cause) {
    case FailureCause::NotAPicture:
        return kNotAJpegExplanation;
    case FailureCause::Unsupported:
        return kUnsupportedJpegExplanation;
    default:
        return {};
    }
}

}  // namespace

JpegError::JpegError(int code, bool endedEarly)
    : PictureDataError(code == kJpegTooManyScans
              ? "JPEG error #" + std::to_string(code) + ": more than " + std::to_string(kJpegMaxScans) + " scans"
              : "JPEG error #" + std::to_string(code),
          CauseOfJpegCode(code, endedEarly), JpegExplanationOf(CauseOfJpegCode(code, endedEarly))),
      m_code(code)
{
}

}  // namespace picbatch
