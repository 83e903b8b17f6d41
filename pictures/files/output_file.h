// An output file written as its encoder makes it, and put in place only when complete.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pictures/byte_sink.h"
#include "pictures/files/file_descriptor.h"

namespace picbatch {

// The file that Commit puts at a path, replacing any file there. Until then the bytes go to
// a temporary in the same folder: an unnamed one (O_TMPFILE) where the file system has them,
// which nothing can leave behind, not even a killed process; otherwise a hidden file named by
// TemporaryName. Destroyed uncommitted, it leaves the old file untouched and no temporary.
// A new file gets the permissions of an ordinarily created file (0666 less the umask); a file
// that replaces a regular file keeps that file's permission bits and, when root writes it,
// its owner and group.
//
// Nothing touches the disk before the first byte is written (or Commit), so that an
// encoder's refusal of a picture comes before any trouble with the destination.
// Throws "Cannot create file "<absolute path>". <system text>" when the file cannot be
// created (also when an existing file at path may not be written: its owner protected it),
// "Stream write error. <system text>" when writing or flushing fails; both with their cause
// (a missing folder, access denied, a full or read-only disk, ...).
class OutputFile final : public ByteSink {
public:
    // Named skips the unnamed temporary, as where the file system lacks it (for tests).
    enum class Temporary { Unnamed, Named };

    explicit OutputFile(std::string path, Temporary temporary = Temporary::Unnamed);
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void WriteAt(std::int64_t offset, std::span<const std::uint8_t> bytes) override;
    // Flushes the file to the disk and renames it over the path. Call once.
    void Commit();

    // The file's size: the end of the furthest bytes written.
    std::int64_t Size() const { return m_size; }
    // Whether the bytes went to an unnamed temporary; false before the first write.
    bool Unnamed() const { return m_unnamed; }

private:
    void Open();
    // Gives the file the permission bits (and, as root, the owner) of the file it replaces.
    void KeepPermissionsOfReplaced();
    // Gives the unnamed file a hidden name in the folder, to rename it from.
    void LinkUnnamed();

    std::string m_path;
    Temporary m_temporary;
    FileDescriptor m_folder{-1};
    std::string m_name;           // the file's name in m_folder
    FileDescriptor m_file{-1};
    std::string m_temporaryName;  // a hidden name in m_folder to remove unless committed
    bool m_unnamed = false;
    bool m_committed = false;
    std::int64_t m_size = 0;
};

// A fresh hidden name for a temporary: ".picbatch-<host>-<process id>-<8 random letters>.tmp",
// so that a later run can tell the leftovers of a process that no longer runs.
std::string TemporaryName();

// What the names TemporaryName gives in this process begin with: ".picbatch-<host>-".
std::string TemporaryNamePrefix();

}  // namespace picbatch
