// Reading a list of files and checking each line against the base folder.
#include "batch/file_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "batch/entry_paths.h"
#include "batch/shard.h"
#include "imaging/error.h"
#include "pictures/files/file_io.h"
#include "pictures/files/long_path.h"

namespace picbatch {

namespace {

// What one read of the list takes.
constexpr std::size_t kReadBytes = 64 * 1024;

void WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw Error(SystemErrorText(errno));
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

// What source gives, copied into an unnamed temporary file, so that the list can be read
// twice.
FileDescriptor CopyToTemporary(int source)
{
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp && *tmp ? tmp : "/tmp";
    FileDescriptor copy(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (copy.Get() < 0) {
        std::string name = folder + "/picbatch-list-XXXXXX";
        copy = FileDescriptor(::mkostemp(name.data(), O_CLOEXEC));
        if (copy.Get() < 0)
            throw Error(SystemErrorText(errno));
        ::unlink(name.c_str());
    }
    std::string buffer(kReadBytes, '\0');
    for (;;) {
        const ssize_t got = ::read(source, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Error(SystemErrorText(errno));
        }
        if (got == 0)
            break;
        WriteAll(copy.Get(), buffer.data(), static_cast<std::size_t>(got));
    }
    return copy;
}

std::string Normal(const std::filesystem::path& path)
{
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

// The part of path below folder, when path lies inside it ("" for the folder itself).
std::optional<std::string> Below(const std::string& path, const std::string& folder)
{
    if (folder.empty())
        return std::nullopt;
    if (path == folder)
        return std::string();
    const std::string prefix = folder == "/" ? folder : folder + "/";
    if (!path.starts_with(prefix))
        return std::nullopt;
    return path.substr(prefix.size());
}

}  // namespace

std::shared_ptr<const ListFile> ListFile::Open(const std::string& path)
{
    if (path == "-")
        return std::make_shared<const ListFile>(CopyToTemporary(STDIN_FILENO));
    FileDescriptor fd = OpenPath(path, O_RDONLY | O_CLOEXEC);
    if (fd.Get() < 0)
        throw Error(SystemErrorText(errno));
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0)
        throw Error(SystemErrorText(errno));
    if (S_ISDIR(info.st_mode))
        throw Error(SystemErrorText(EISDIR));
    // A pipe or a terminal cannot be read twice: it is copied like standard input.
    if (!S_ISREG(info.st_mode))
        return std::make_shared<const ListFile>(CopyToTemporary(fd.Get()));
    return std::make_shared<const ListFile>(std::move(fd));
}

std::string OutsideBaseMessage()
{
    return "不在源文件夹中，未处理";
}

std::string MissingListedFileMessage(int errnum)
{
    return FolderErrorText(errnum) + "（列表中的文件无法使用）";
}

FileList::FileList(std::shared_ptr<const ListFile> file, std::string base, char separator)
    : m_file(std::move(file)), m_base(std::move(base)), m_separator(separator)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(m_base, error);
    m_absoluteBase = error ? std::string() : Normal(absolute);
    const std::filesystem::path canonical = std::filesystem::canonical(m_base, error);
    m_canonicalBase = error ? std::string() : Normal(canonical);
}

std::unique_ptr<EntrySource> FileList::Again() const
{
    return std::make_unique<FileList>(m_file, m_base, m_separator);
}

std::optional<std::string> FileList::NextLine()
{
    for (;;) {
        const std::size_t end = m_buffer.find(m_separator, m_bufferStart);
        if (end != std::string::npos) {
            std::string line = m_buffer.substr(m_bufferStart, end - m_bufferStart);
            m_bufferStart = end + 1;
            return line;
        }
        if (m_ended) {
            if (m_bufferStart >= m_buffer.size())
                return std::nullopt;
            // A last line without its separator.
            std::string line = m_buffer.substr(m_bufferStart);
            m_bufferStart = m_buffer.size();
            return line;
        }
        m_buffer.erase(0, m_bufferStart);
        m_bufferStart = 0;
        const std::size_t kept = m_buffer.size();
        m_buffer.resize(kept + kReadBytes);
        ssize_t got = 0;
        do {
            got = ::pread(m_file->Fd(), m_buffer.data() + kept, kReadBytes, static_cast<off_t>(m_offset));
        } while (got < 0 && errno == EINTR);
        // A list that cannot be read on ends there, as a folder's listing does.
        if (got <= 0) {
            got = 0;
            m_ended = true;
        }
        m_buffer.resize(kept + static_cast<std::size_t>(got));
        m_offset += static_cast<std::uint64_t>(got);
    }
}

std::optional<std::string> FileList::RelativePath(const std::string& line) const
{
    std::string relative = line;
    if (line.front() == '/') {
        const std::string path = Normal(line);
        std::optional<std::string> below = Below(path, m_absoluteBase);
        if (!below)
            below = Below(path, m_canonicalBase);
        if (!below)
            return std::nullopt;
        relative = *below;
    }
    if (relative.empty())
        return std::string(".");
    std::string normal = Normal(relative);
    if (normal == ".." || normal.starts_with("../") || normal.front() == '/')
        return std::nullopt;
    return normal;
}

std::optional<ListedEntry> FileList::Next()
{
    std::optional<std::string> line = NextLine();
    if (!line)
        return std::nullopt;
    if (line->empty())
        return ListedEntry{"", ListedEntry::Kind::PassedOver, PassedOverReason::EmptyLine, {}};
    const std::optional<std::string> relative = RelativePath(*line);
    if (!relative)
        return ListedEntry{std::move(*line), ListedEntry::Kind::Refused, {}, OutsideBaseMessage()};
    const std::string path = m_base + "/" + *relative;
    struct stat info {};
    if (!StatPath(path, info)) {
        const int cause = errno;
        // A link that leads nowhere is there, as a listing sees it; a missing file is not.
        if (::lstat(path.c_str(), &info) == 0)
            return ListedEntry{*relative, ListedEntry::Kind::PassedOver, PassedOverReasonOfStatError(cause), {}};
        return ListedEntry{*relative, ListedEntry::Kind::Refused, {}, MissingListedFileMessage(cause)};
    }
    if (S_ISDIR(info.st_mode))
        return ListedEntry{*relative, ListedEntry::Kind::PassedOver, PassedOverReason::Folder, {}};
    if (!S_ISREG(info.st_mode))
        return ListedEntry{*relative, ListedEntry::Kind::PassedOver, PassedOverReason::NotRegularFile, {}};
    if (!m_taken.insert(Fnv1a64(*relative)).second)
        return ListedEntry{*relative, ListedEntry::Kind::PassedOver, PassedOverReason::Duplicate, {}};
    return ListedEntry{*relative, ListedEntry::Kind::File, {}, {}, IsPictureEntry(*relative)};
}

}  // namespace picbatch
