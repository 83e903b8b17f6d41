// File access for the picture readers and writers: whole-file reads, the error texts, and
// replacement of a file with bytes held in memory.
#include "pictures/files/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "imaging/error.h"
#include "pictures/files/file_descriptor.h"
#include "pictures/files/long_path.h"

namespace picbatch {

namespace {

// What the system's error code says went wrong. ENOENT names the file itself when reading,
// its folder when creating (creating a file in an existing folder never gives it).
FailureCause CauseOf(int errnum, bool creating)
{
    switch (errnum) {
    case ENOENT:
    case ENOTDIR:
        return creating ? FailureCause::FolderNotFound : FailureCause::FileNotFound;
    case EACCES:
    case EPERM:
        return FailureCause::AccessDenied;
    case ENOSPC:
    case EDQUOT:
        return FailureCause::DiskFull;
    case EROFS:
        return FailureCause::ReadOnlyFileSystem;
    case ENOMEM:
        return FailureCause::OutOfMemory;
    case EFBIG:
        return FailureCause::TooLarge;
    default:
        return FailureCause::Unknown;
    }
}

Error CannotOpen(const std::string& path, int errnum)
{
    return Error("Cannot open file \"" + AbsolutePath(path) + "\". " + SystemErrorText(errnum),
                 CauseOf(errnum, false));
}


// GNU strerror_r returns the text (possibly a static string); the POSIX one fills the
// buffer and returns a status. Overloads pick whichever the C library declares.
[[maybe_unused]] std::string StrerrorResult(const char* text, const char*)
{
    return text ? text : "";
}

[[maybe_unused]] std::string StrerrorResult(int, const char* buffer)
{
    return buffer;
}

}  // namespace

Error CannotCreateFile(const std::string& path, int errnum)
{
    return Error("Cannot create file \"" + AbsolutePath(path) + "\". " + SystemErrorText(errnum),
                 CauseOf(errnum, true));
}

Error StreamWriteFailed(int errnum)
{
    return Error(std::string(kStreamWriteError) + ". " + SystemErrorText(errnum), CauseOf(errnum, true));
}

std::string SystemErrorText(int errnum)
{
    char buffer[256] = {};
    // strerror_r, unlike strerror, is safe while other threads save pictures.
    std::string text = StrerrorResult(::strerror_r(errnum, buffer, sizeof buffer), buffer);
    while (!text.empty()) {
        const unsigned char last = static_cast<unsigned char>(text.back());
        if (last > ' ' && last != '.')
            break;
        text.pop_back();
    }
    return text;
}

std::string AbsolutePath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    // Without a current folder (it was removed) the path is shown as given.
    if (error)
        return path;
    return absolute.lexically_normal().string();
}

OpenedFile OpenFileForReading(const std::string& path)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
    FileDescriptor file = OpenPath(path, O_RDONLY | O_NONBLOCK);
    if (file.Get() < 0)
        throw CannotOpen(path, errno);
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        throw CannotOpen(path, errno);
    if (S_ISDIR(info.st_mode))
        throw CannotOpen(path, EISDIR);
    if (!S_ISREG(info.st_mode))
        throw CannotOpen(path, EINVAL);
    // No picture within the size limits needs a larger file, and reading one would only
    // exhaust memory.
    if (info.st_size > kMaxFileBytes)
        throw Error(kOutOfSystemResources, FailureCause::TooLarge);
    return {std::move(file), static_cast<std::int64_t>(info.st_size)};
}

std::int64_t ReadSome(int fd, std::uint8_t* buffer, std::int64_t size) noexcept
{
    for (;;) {
        const ssize_t got = ::read(fd, buffer, static_cast<std::size_t>(size));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

std::vector<std::uint8_t> ReadFileStart(int fd, std::int64_t size)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::int64_t got = 0;
    while (got < size) {
        const std::int64_t now = ReadSome(fd, bytes.data() + got, size - got);
        if (now < 0)
            throw Error(kStreamReadError);
        if (now == 0)
            break;
        got += now;
    }
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path)
{
    const OpenedFile file = OpenFileForReading(path);
    // Reads until end of file rather than trusting st_size: the file may change meanwhile.
    // One chunk of room beyond st_size lets the read that finds the end fit without moving
    // the whole file to a larger buffer.
    constexpr std::size_t kChunk = 1 << 16;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(file.size) + kChunk);
    for (;;) {
        const std::size_t used = bytes.size();
        if (used > static_cast<std::size_t>(kMaxFileBytes))
            throw Error(kOutOfSystemResources, FailureCause::TooLarge);
        bytes.resize(used + kChunk);
        const std::int64_t got = ReadSome(file.descriptor.Get(), bytes.data() + used, kChunk);
        if (got < 0)
            throw Error(kStreamReadError);
        bytes.resize(used + static_cast<std::size_t>(got));
        if (got == 0)
            break;
    }
    return bytes;
}

void WriteAllBytesAt(int fd, std::int64_t offset, std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw StreamWriteFailed(errno);
        }
        // A write that takes nothing (a full device without an error code) would loop for ever.
        if (written == 0)
            throw StreamWriteFailed(ENOSPC);
        bytes = bytes.subspan(static_cast<std::size_t>(written));
        offset += written;
    }
}

bool FileExists(const std::string& path)
{
    struct stat info {};
    return StatPath(path, info) && !S_ISDIR(info.st_mode);
}

}  // namespace picbatch
