// Putting bytes already in memory at a path, as safely as an encoder's output.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace picbatch {

// Puts bytes at path through an OutputFile (output_file.h), with its guarantees and errors:
// any file there is replaced only once the new content is complete, and on any failure the
// old file is untouched and no temporary file remains.
void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace picbatch
