// What an entry passed over is called, in the summaries, the lines of --verbose and the report.
#pragma once

#include <array>
#include <string>

#include "batch/source_listing.h"

namespace picbatch {

struct PassedOverText {
    PassedOverReason reason;
    const char* chinese;
    const char* english;      // in an entry's line
    const char* countedOne;   // after a count in the summary
    const char* countedMany;
};

// In the order the summary counts them.
inline constexpr std::array kPassedOverTexts{
    PassedOverText{PassedOverReason::Folder, "文件夹", "folder", "folder", "folders"},
    PassedOverText{PassedOverReason::NotRegularFile, "非普通文件", "not a regular file", "non-regular file",
                   "non-regular files"},
    PassedOverText{PassedOverReason::LinkLoop, "链接循环", "link loop", "link loop", "link loops"},
    PassedOverText{PassedOverReason::DanglingLink, "失效链接", "dangling link", "dangling link", "dangling links"},
    PassedOverText{PassedOverReason::Inaccessible, "无法访问", "inaccessible", "inaccessible entry",
                   "inaccessible entries"},
    PassedOverText{PassedOverReason::EmptyLine, "空行", "empty line", "empty line", "empty lines"},
    PassedOverText{PassedOverReason::Duplicate, "重复", "duplicate", "duplicate", "duplicates"},
    // Counted with the other files skipped, not here; named in its entry's line.
    PassedOverText{PassedOverReason::FolderLink, "文件夹链接", "link to a folder", "link to a folder",
                   "links to folders"},
};

const PassedOverText& TextOf(PassedOverReason reason);

// Why an entry was passed over, as its line and the report say it: "文件夹 / folder".
std::string PassedOverReasonText(PassedOverReason reason);

}  // namespace picbatch
