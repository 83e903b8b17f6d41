// The entries of a run taken from a list of files ("--files-from"): one path a line, or
// NUL-separated. Relative paths are relative to the base folder, whose tree the destination
// mirrors; absolute paths must lie inside it. Bad lines are entries of their own, passed
// over or refused with why, and the run goes on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

#include "batch/entry_source.h"
#include "pictures/files/file_descriptor.h"

namespace picbatch {

// The list's bytes, readable any number of times: the file itself, or for standard input a
// copy in an unnamed temporary file.
class ListFile {
public:
    // The list at path, "-" for standard input. Throws Error with the system's text when it
    // cannot be read.
    static std::shared_ptr<const ListFile> Open(const std::string& path);
    explicit ListFile(FileDescriptor fd) : m_fd(std::move(fd)) {}
    int Fd() const { return m_fd.Get(); }

private:
    FileDescriptor m_fd;
};

// Failure texts of lines that cannot be taken.
std::string OutsideBaseMessage();
std::string MissingListedFileMessage(int errnum);

class FileList : public EntrySource {
public:
    // separator: '\n' or '\0'.
    FileList(std::shared_ptr<const ListFile> file, std::string base, char separator);

    std::optional<ListedEntry> Next() override;
    std::unique_ptr<EntrySource> Again() const override;

private:
    // The next line without its separator; nothing at the end of the list.
    std::optional<std::string> NextLine();
    // The line's path relative to the base, lexically normal; nothing when it lies outside.
    std::optional<std::string> RelativePath(const std::string& line) const;

    std::shared_ptr<const ListFile> m_file;
    std::string m_base;
    std::string m_absoluteBase;   // lexically normal
    std::string m_canonicalBase;  // links resolved
    char m_separator;
    std::uint64_t m_offset = 0;
    std::string m_buffer;
    std::size_t m_bufferStart = 0;
    bool m_ended = false;
    // Hashes (FNV-1a, 64 bits) of the relative paths taken: 8 bytes and a node a line, so a
    // list of millions fits; two distinct paths sharing a hash are 1 in 2^64.
    std::unordered_set<std::uint64_t> m_taken;
};

}  // namespace picbatch
