// The one base class of every error the core raises; what() is the exact user-visible text.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace picbatch {

// What a failure came from, where the code that raises it knows: the front ends explain
// known causes to the user beside the message. The causes say nothing of file formats: a
// format that needs to name itself gives its own words with the error (Error::Explanation).
enum class FailureCause {
    Unknown,
    FileNotFound,        // the file, or a folder on its way, is not there
    FolderNotFound,      // the folder a file is to be created in is not there
    AccessDenied,        // permissions refuse reading or writing
    DiskFull,            // no room (or no quota) left on the file system
    ReadOnlyFileSystem,  // the file system is mounted read-only
    EmptyFile,           // the file has no bytes at all
    NotAPicture,         // the file does not start like a picture of the format its name says
    CutBeforePicture,    // the file ends before its picture data begins
    TooLarge,            // a picture or file beyond the size limits
    OutOfMemory,         // memory ran out
    TooLargeForMemory,   // a picture whose decoding needs more memory than one picture may take
    Unsupported,         // a valid kind of picture that its format's decoder does not handle
    Internal,            // something was thrown that is no error of the core's or the system's
    Animated,            // an animated picture, of which only still ones are converted
    Damaged,             // the file's data is damaged: a checksum does not match
};

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, FailureCause cause = FailureCause::Unknown,
                   std::string_view explanation = {})
        : std::runtime_error(message), m_cause(cause), m_explanation(explanation)
    {
    }
    explicit Error(const char* message, FailureCause cause = FailureCause::Unknown,
                   std::string_view explanation = {})
        : std::runtime_error(message), m_cause(cause), m_explanation(explanation)
    {
    }

    FailureCause Cause() const noexcept { return m_cause; }
    // The user's words for the cause where the part that raised the error has its own (a
    // format naming itself: "文件内容不是 PNG 图片"); empty where the cause's general
    // explanation serves. Text of static storage.
    std::string_view Explanation() const noexcept { return m_explanation; }

private:
    FailureCause m_cause;
    std::string_view m_explanation;
};

// Messages shared by several parts of the core.
inline constexpr const char* kScanLineOutOfRange = "Scan line index out of range";
inline constexpr const char* kOutOfSystemResources = "Out of system resources";
inline constexpr const char* kStreamReadError = "Stream read error";
inline constexpr const char* kStreamWriteError = "Stream write error";

}  // namespace picbatch
