// Bytes in memory written through an OutputFile.
#include "pictures/files/replace_file.h"

#include "pictures/files/output_file.h"

namespace picbatch {

void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    OutputFile file(path);
    file.WriteAt(0, bytes);
    file.Commit();
}

}  // namespace picbatch
