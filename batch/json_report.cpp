// Writing a run's report file line by line.
#include "batch/json_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <span>
#include <vector>

#include "batch/entry_paths.h"
#include "imaging/error.h"
#include "pictures/files/file_io.h"
#include "pictures/files/output_file.h"

namespace picbatch {

namespace {

// An unnamed file in folder: O_TMPFILE where the file system has it, else a named one
// removed at once. -1 with errno when neither can be made.
int OpenUnnamed(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    std::string name = folder + "/.picbatch-report-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0)
        ::unlink(name.c_str());
    return named;
}

}  // namespace

JsonReport::JsonReport(FileDescriptor file) : m_file(std::move(file)) {}

JsonReport::JsonReport(const std::string& path) : m_file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666))
{
    if (m_file.Get() < 0)
        throw CannotCreateFile(path, errno);
    struct stat status {};
    if (::fstat(m_file.Get(), &status) != 0)
        throw CannotCreateFile(path, errno);
    if (!S_ISREG(status.st_mode))
        return;  // a pipe, a terminal, /dev/stdout: nothing to empty
    // A mistyped command line must not cost a picture (an original, or an output of an
    // earlier run): the report goes over no file with a picture's name.
    const std::size_t slash = path.find_last_of('/');
    if (status.st_size > 0 && IsPictureEntry(slash == std::string::npos ? path : path.substr(slash + 1)))
        throw Error(kReportOverPicture + (": " + path));
    if (::ftruncate(m_file.Get(), 0) != 0)
        throw CannotCreateFile(path, errno);
}

std::unique_ptr<JsonReport> JsonReport::Temporary()
{
    const char* variable = std::getenv("TMPDIR");
    const std::string folder = variable != nullptr && *variable != '\0' ? variable : "/tmp";
    FileDescriptor file(OpenUnnamed(folder));
    if (file.Get() < 0)
        throw CannotCreateFile(folder, errno);
    return std::unique_ptr<JsonReport>(new JsonReport(std::move(file)));
}

void JsonReport::Add(const ReportLine& line) noexcept
{
    Add(std::span(&line, 1));
}

void JsonReport::AddSkipped(const std::vector<std::string>& sources, const std::string& cause) noexcept
{
    std::vector<ReportLine> lines;
    try {
        lines.reserve(sources.size());
        for (const std::string& source : sources)
            lines.push_back(SkippedLine(source, cause));
    } catch (const std::bad_alloc&) {
        const std::lock_guard lock(m_mutex);
        m_failure = kOutOfSystemResources;
        return;
    }
    Add(lines);
}

void JsonReport::Add(std::span<const ReportLine> lines) noexcept
{
    const std::lock_guard lock(m_mutex);
    if (m_failure)
        return;
    std::string text;
    try {
        for (const ReportLine& line : lines)
            text += ReportLineText(line);
    } catch (const std::bad_alloc&) {
        m_failure = kOutOfSystemResources;
        return;
    }
    const int fd = m_file.Get();
    const off_t start = ::lseek(fd, 0, SEEK_CUR);  // -1 for a pipe: nothing to take back there
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int cause = n < 0 ? errno : ENOSPC;
        // A part of a line would leave the file's last line no JSON.
        if (start >= 0 && ::ftruncate(fd, start) == 0)
            ::lseek(fd, start, SEEK_SET);
        try {
            m_failure = StreamWriteFailed(cause).what();
        } catch (...) {
            m_failure.emplace();
        }
        return;
    }
}

std::optional<std::string> JsonReport::Failure() const
{
    const std::lock_guard lock(m_mutex);
    return m_failure;
}

void JsonReport::SaveTo(const std::string& path) const
{
    const std::lock_guard lock(m_mutex);
    OutputFile file(path);
    std::vector<std::uint8_t> buffer(std::size_t{1} << 16);
    std::int64_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(m_file.Get(), buffer.data(), buffer.size(), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Error(kStreamReadError);
        if (n == 0)
            break;
        file.WriteAt(offset, std::span(buffer.data(), static_cast<std::size_t>(n)));
        offset += n;
    }
    file.Commit();
}

}  // namespace picbatch
