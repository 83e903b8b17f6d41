// JpegError, the exception every libjpeg failure of the binding becomes, and the limits its
// messages name.
#pragma once

#include "imaging/error.h"

namespace picbatch {

// A picture's data cannot be read or written.
class PictureDataError : public Error {
public:
    using Error::Error;
};

// The explanations the user reads for the causes that JPEG names in its own words.
inline constexpr const char* kNotAJpegExplanation = "文件内容不是 JPEG 图片";
inline constexpr const char* kUnsupportedJpegExplanation = "不支持这种 JPEG，例如无损、算术编码或 12 位的 JPEG";

// A libjpeg failure: "JPEG error #<code>", code being libjpeg's message code. Its cause comes
// from the code (empty data, not a picture, too large, out of memory, unsupported) and, for
// any other code, from endedEarly: the data ended before the failure, so the file was cut
// short before its picture. Not a picture and unsupported carry JPEG's explanations.
class JpegError : public PictureDataError {
public:
    explicit JpegError(int code, bool endedEarly = false);
    int Code() const { return m_code; }

private:
    int m_code;
};

// A multi-scan file may hold at most this many scans; real encoders write a dozen or so.
inline constexpr int kJpegMaxScans = 1000;
// The code of the JpegError raised for a file with more scans, beyond libjpeg's own codes.
inline constexpr int kJpegTooManyScans = 1001;

}  // namespace picbatch
