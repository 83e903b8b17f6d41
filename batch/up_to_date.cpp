// Comparing an output's modification time with its source's.
#include "batch/up_to_date.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "pictures/files/long_path.h"

namespace picbatch {

bool OutputUpToDate(const std::string& sourcePath, const std::string& outputPath)
{
    struct stat source {};
    if (!StatPath(sourcePath, source))
        return false;
    // Through its folder, so that a path of any length works, and without following a link.
    const PathInFolder output = SplitPath(outputPath);
    struct stat written {};
    if (output.folder.Get() < 0
        || ::fstatat(output.folder.Get(), output.name.c_str(), &written, AT_SYMLINK_NOFOLLOW) != 0
        || !S_ISREG(written.st_mode))
        return false;
    if (written.st_mtim.tv_sec != source.st_mtim.tv_sec)
        return written.st_mtim.tv_sec > source.st_mtim.tv_sec;
    return written.st_mtim.tv_nsec > source.st_mtim.tv_nsec;
}

}  // namespace picbatch
