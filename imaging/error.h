// The one base class of every error the core raises; what() is the exact user-visible text.
#pragma once

#include <stdexcept>
#include <string>

namespace picbatch {

// What a failure came from, where the code that raises it knows: the front ends explain
// known causes to the user beside the message.
enum class FailureCause {
    Unknown,
    FileNotFound,        // the file, or a folder on its way, is not there
    FolderNotFound,      // the folder a file is to be created in is not there
    AccessDenied,        // permissions refuse reading or writing
    DiskFull,            // no room (or no quota) left on the file system
    ReadOnlyFileSystem,  // the file system is mounted read-only
    EmptyFile,           // the file has no bytes at all
    NotAJpeg,            // a ".jpg" file that does not start like a JPEG
    CutBeforePicture,    // the file ends before its picture data begins
    TooLarge,            // a picture or file beyond the size limits
    OutOfMemory,         // memory ran out
    TooLargeForMemory,   // a picture whose decoding needs more memory than one picture may take
    Unsupported,         // a valid kind of JPEG that the decoder does not handle
    Internal,            // something was thrown that is no error of the core's or the system's
    NotAPng,             // a ".png" file that does not start like a PNG
    NotAWebp,            // a ".webp" file that does not start like a WebP
    Animated,            // an animated picture, of which only still ones are converted
};

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, FailureCause cause = FailureCause::Unknown)
        : std::runtime_error(message), m_cause(cause)
    {
    }
    explicit Error(const char* message, FailureCause cause = FailureCause::Unknown)
        : std::runtime_error(message), m_cause(cause)
    {
    }

    FailureCause Cause() const noexcept { return m_cause; }

private:
    FailureCause m_cause;
};

// Messages shared by several parts of the core.
inline constexpr const char* kScanLineOutOfRange = "Scan line index out of range";
inline constexpr const char* kOutOfSystemResources = "Out of system resources";
inline constexpr const char* kStreamReadError = "Stream read error";
inline constexpr const char* kStreamWriteError = "Stream write error";

}  // namespace picbatch
