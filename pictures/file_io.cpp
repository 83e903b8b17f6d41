// File access for the picture readers and writers: whole-file reads, and replacement of a
// file through a temporary in the same folder so that a failure never costs the old file.
#include "pictures/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

#include "imaging/error.h"
#include "pictures/file_descriptor.h"

namespace picbatch {

namespace {

// A temporary file that is removed again unless it was renamed into place.
class TemporaryFile {
public:
    TemporaryFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~TemporaryFile()
    {
        m_fd.Close();
        if (!m_committed)
            ::unlink(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    FileDescriptor& Descriptor() { return m_fd; }
    const std::string& Path() const { return m_path; }
    void Committed() { m_committed = true; }

private:
    FileDescriptor m_fd;
    std::string m_path;
    bool m_committed = false;
};

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

Error CannotCreate(const std::string& path, int errnum)
{
    return Error("Cannot create file \"" + AbsolutePath(path) + "\". " + SystemErrorText(errnum),
                 CauseOf(errnum, true));
}

// "Stream write error", and the system's text of why.
Error WriteFailed(int errnum)
{
    return Error(std::string(kStreamWriteError) + ". " + SystemErrorText(errnum), CauseOf(errnum, true));
}

// The folder part of path ("." when there is none, "/" for a file in the root).
std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Creates a new file with a unique hidden name in folder, readable and writable as an
// ordinarily created file is (0666 less the umask). Returns -1 with errno set on failure.
int CreateUniqueFile(const std::string& folder, std::string& createdPath)
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    // The generator is per thread: several pictures may be saved at once.
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    // A clash with an existing name is retried; 100 clashes in a row mean something else
    // is wrong, and the last errno is reported.
    for (int attempt = 0; attempt < 100; ++attempt) {
        // A leading "." keeps the temporary out of folder listings while it exists.
        std::string name = ".picbatch-";
        for (int i = 0; i < 8; ++i)
            name += kLetters[pick(generator)];
        name += ".tmp";
        std::string candidate = folder == "/" ? std::string("/") : folder + "/";
        candidate += name;
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            createdPath = std::move(candidate);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
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
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
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

void WriteAllBytes(int fd, std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw WriteFailed(errno);
        }
        // A write that takes nothing (a full device without an error code) would loop for ever.
        if (written == 0)
            throw WriteFailed(ENOSPC);
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
}

void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    // An existing file that its owner made read-only is respected, as creating or
    // truncating it would be refused. The effective ids decide, as they would for open.
    if (::faccessat(AT_FDCWD, path.c_str(), F_OK, AT_EACCESS) == 0
        && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
        throw CannotCreate(path, errno);

    std::string temporaryPath;
    const int fd = CreateUniqueFile(FolderOf(path), temporaryPath);
    if (fd < 0)
        throw CannotCreate(path, errno);
    TemporaryFile temporary(fd, temporaryPath);

    WriteAllBytes(temporary.Descriptor().Get(), bytes);
    // The content must be on disk before the name points at it, or a crash right after
    // the rename could leave an empty file where the old picture was.
    if (::fsync(temporary.Descriptor().Get()) != 0 && errno != EINVAL)
        throw WriteFailed(errno);
    if (temporary.Descriptor().Close() != 0)
        throw WriteFailed(errno);
    if (::rename(temporary.Path().c_str(), path.c_str()) != 0)
        throw CannotCreate(path, errno);
    temporary.Committed();
}

bool FileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace picbatch
