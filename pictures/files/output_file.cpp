// Output files through an unnamed temporary where the file system has them (O_TMPFILE), so
// that no process, however it ends, leaves a half-written file behind; through a named
// hidden temporary elsewhere.
#include "pictures/files/output_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <utility>

#include "imaging/error.h"
#include "pictures/files/file_io.h"
#include "pictures/files/long_path.h"

namespace picbatch {

namespace {

// A clash with an existing name is retried; 100 clashes in a row mean something else is
// wrong, and the last error is reported.
constexpr int kNameAttempts = 100;

// The host's name as it may stand in a file name: no "/" and no "-", which separates the parts.
std::string HostPart()
{
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
        return "host";
    std::string part = host;
    for (char& c : part) {
        if (c == '/' || c == '-' || static_cast<unsigned char>(c) < ' ')
            c = '_';
    }
    return part;
}

// Errors for which a folder cannot have an unnamed file: the file system lacks them
// (EOPNOTSUPP), or the kernel predates O_TMPFILE and takes it for a folder opened for writing
// (EISDIR) or an unknown flag (EINVAL).
bool LacksUnnamedFiles(int errnum)
{
    return errnum == EOPNOTSUPP || errnum == EISDIR || errnum == EINVAL;
}

// Errors of fchmod and fchown on file systems that hold no modes or owners of their own
// (FAT, some network mounts): there the mount decides, and nothing is widened.
bool CannotHoldModes(int errnum)
{
    return errnum == EPERM || errnum == EOPNOTSUPP || errnum == ENOSYS;
}

}  // namespace

std::string TemporaryNamePrefix()
{
    return ".picbatch-" + HostPart() + "-";
}

std::string TemporaryName()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    // The generator is per thread: several pictures may be saved at once.
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    // A leading "." keeps the temporary out of folder listings while it exists.
    std::string name = TemporaryNamePrefix() + std::to_string(::getpid()) + "-";
    for (int i = 0; i < 8; ++i)
        name += kLetters[pick(generator)];
    return name + ".tmp";
}

OutputFile::OutputFile(std::string path, Temporary temporary) : m_path(std::move(path)), m_temporary(temporary) {}

OutputFile::~OutputFile()
{
    m_file.Close();
    if (!m_committed && !m_temporaryName.empty())
        ::unlinkat(m_folder.Get(), m_temporaryName.c_str(), 0);
}

void OutputFile::Open()
{
    PathInFolder split = SplitPath(m_path);
    if (split.folder.Get() < 0)
        throw CannotCreateFile(m_path, errno);
    m_folder = std::move(split.folder);
    m_name = std::move(split.name);
    const int folder = m_folder.Get();
    // An existing file that its owner made read-only is respected, as creating or
    // truncating it would be refused. The effective ids decide, as they would for open.
    if (::faccessat(folder, m_name.c_str(), F_OK, AT_EACCESS) == 0
        && ::faccessat(folder, m_name.c_str(), W_OK, AT_EACCESS) != 0)
        throw CannotCreateFile(m_path, errno);

    if (m_temporary == Temporary::Unnamed) {
        m_file = FileDescriptor(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (m_file.Get() < 0 && !LacksUnnamedFiles(errno))
            throw CannotCreateFile(m_path, errno);
        m_unnamed = m_file.Get() >= 0;
    }
    for (int attempt = 0; m_file.Get() < 0 && attempt < kNameAttempts; ++attempt) {
        std::string name = TemporaryName();
        m_file = FileDescriptor(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (m_file.Get() >= 0)
            m_temporaryName = std::move(name);
        else if (errno != EEXIST)
            break;
    }
    if (m_file.Get() < 0)
        throw CannotCreateFile(m_path, errno);
    // Held while the file lives: a later run removes a leftover only when nobody holds it.
    // Where the file system has no locks the leftover is simply kept.
    ::flock(m_file.Get(), LOCK_EX | LOCK_NB);
}

void OutputFile::WriteAt(std::int64_t offset, std::span<const std::uint8_t> bytes)
{
    if (m_file.Get() < 0)
        Open();
    WriteAllBytesAt(m_file.Get(), offset, bytes);
    m_size = std::max(m_size, offset + static_cast<std::int64_t>(bytes.size()));
}

void OutputFile::LinkUnnamed()
{
    // Through /proc, linking an unnamed file needs no privilege; AT_EMPTY_PATH (where /proc
    // is missing) needs CAP_DAC_READ_SEARCH on older kernels.
    const std::string procPath = "/proc/self/fd/" + std::to_string(m_file.Get());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = TemporaryName();
        int linked = ::linkat(AT_FDCWD, procPath.c_str(), m_folder.Get(), name.c_str(), AT_SYMLINK_FOLLOW);
        if (linked != 0 && errno == ENOENT)
            linked = ::linkat(m_file.Get(), "", m_folder.Get(), name.c_str(), AT_EMPTY_PATH);
        if (linked == 0) {
            m_temporaryName = std::move(name);
            return;
        }
        if (errno != EEXIST)
            break;
    }
    throw CannotCreateFile(m_path, errno);
}

void OutputFile::KeepPermissionsOfReplaced()
{
    struct stat replaced {};
    if (::fstatat(m_folder.Get(), m_name.c_str(), &replaced, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(replaced.st_mode))
        return;  // nothing replaced, or a link or other entry: the new file's own mode
    // Only root may give a file away; others keep what they own. Set before the mode, as a
    // change of owner may clear mode bits.
    if (::geteuid() == 0 && ::fchown(m_file.Get(), replaced.st_uid, replaced.st_gid) != 0 && !CannotHoldModes(errno))
        throw StreamWriteFailed(errno);
    // The permission bits only: a picture never becomes set-user-ID through a conversion.
    if (::fchmod(m_file.Get(), replaced.st_mode & 0777) != 0 && !CannotHoldModes(errno))
        throw StreamWriteFailed(errno);
}

void OutputFile::Commit()
{
    if (m_file.Get() < 0)
        Open();
    // The content must be on disk before the name points at it, or a crash right after
    // the rename could leave an empty file where the old picture was.
    if (::fsync(m_file.Get()) != 0 && errno != EINVAL)
        throw StreamWriteFailed(errno);
    KeepPermissionsOfReplaced();
    if (m_temporaryName.empty())
        LinkUnnamed();
    if (m_file.Close() != 0)
        throw StreamWriteFailed(errno);
    if (::renameat(m_folder.Get(), m_temporaryName.c_str(), m_folder.Get(), m_name.c_str()) != 0)
        throw CannotCreateFile(m_path, errno);
    m_committed = true;
}

}  // namespace picbatch
