// The one base class of every error the core raises; what() is the exact user-visible text.
#pragma once

#include <stdexcept>
#include <string>

namespace picbatch {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Messages shared by several parts of the core.
inline constexpr const char* kScanLineOutOfRange = "Scan line index out of range";
inline constexpr const char* kOutOfSystemResources = "Out of system resources";
inline constexpr const char* kStreamReadError = "Stream read error";
inline constexpr const char* kStreamWriteError = "Stream write error";

}  // namespace picbatch
