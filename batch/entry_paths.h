// How a run names the files of one listing entry: which entries are pictures, where the
// source is read and where the output goes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pictures/save_picture.h"

namespace picbatch {

// True when the entry's name ends in a picture format's extension, in any case (".BMP",
// ".JPG").
bool IsPictureEntry(std::string_view entry);

// The source file: folder text, "/", the entry as listed (file names are case-sensitive).
std::string SourcePathOf(const std::string& folder, const std::string& entry);

// The folder a path hands to a window that takes folders (a command-line argument, a
// dropped file): a picture file's folder, otherwise the path itself.
std::string FolderNamedBy(const std::string& path);

// The file a picture entry is written to in mode: DestinationPathOf, then the saver's
// OutputPathFor; nothing for an entry that is no picture's, which a run passes over.
std::optional<std::string> EntryOutputPath(const std::string& destinationFolder, const std::string& entry,
                                           OutputMode mode);

// The destination before the saver picks the extension: folder text, "/", the entry with its
// file name upper-cased (folder names in a subfolder's entry stay as they are), so every
// output keeps an upper-case stem.
std::string DestinationPathOf(const std::string& folder, const std::string& entry);

}  // namespace picbatch
