// SourceListing: the snapshot of a folder's ordinary visible files that a run walks, and the
// folder helpers it needs (entering folders, their error texts, the collation order).
#include "batch/source_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>

#include "batch/collation_locale.h"
#include "batch/directory_stream.h"
#include "batch/entry_paths.h"
#include "batch/name_order.h"
#include "imaging/error.h"
#include "pictures/files/long_path.h"

namespace picbatch {

namespace {

// The entry that switches the busy pointer on: the 101st kept name.
constexpr std::size_t kBusyFromEntry = 101;

// Owns a descriptor of the current folder and makes it current again when destroyed, so a
// folder can be tried without moving the process for good. O_PATH needs no read right.
class CurrentFolderKeeper {
public:
    CurrentFolderKeeper() : m_fd(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
    ~CurrentFolderKeeper()
    {
        if (m_fd < 0)
            return;
        // Nothing sensible is left to do if the old folder cannot be entered again.
        [[maybe_unused]] const int ignored = ::fchdir(m_fd);
        ::close(m_fd);
    }
    CurrentFolderKeeper(const CurrentFolderKeeper&) = delete;
    CurrentFolderKeeper& operator=(const CurrentFolderKeeper&) = delete;

private:
    int m_fd;
};

// What an entry is after following symbolic links: a regular file, or why it is left out.
// The type from the directory itself spares a stat call per file in the common case.
std::optional<PassedOverReason> LeftOutBecause(DIR* dir, const dirent& entry)
{
    switch (entry.d_type) {
    case DT_REG:
        return std::nullopt;
    case DT_DIR:
        return PassedOverReason::Folder;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        return PassedOverReason::NotRegularFile;
    }
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry.d_name, &info, 0) == 0) {
        if (S_ISREG(info.st_mode))
            return std::nullopt;
        return S_ISDIR(info.st_mode) ? PassedOverReason::Folder : PassedOverReason::NotRegularFile;
    }
    return PassedOverReasonOfStatError(errno);
}

// Calls keep(name) for each regular visible file of folder, and passOver(name, reason) for
// each other visible entry, in the order the file system delivers them. A folder that cannot
// be opened gives nothing; an error during the enumeration ends it with the names found so far.
template <typename Keep, typename PassOver>
void ForEachFolderEntry(const std::string& folder, Keep keep, PassOver passOver)
{
    DirectoryStream stream(folder);
    if (!stream.Get())
        return;
    while (const dirent* entry = ::readdir(stream.Get())) {
        // A leading "." marks hidden names, and also "." and "..".
        if (entry->d_name[0] == '.')
            continue;
        if (const std::optional<PassedOverReason> reason = LeftOutBecause(stream.Get(), *entry))
            passOver(std::string(entry->d_name), *reason);
        else
            keep(std::string(entry->d_name));
    }
}

template <typename Keep>
void ForEachFolderFile(const std::string& folder, Keep keep)
{
    ForEachFolderEntry(folder, keep, [](const std::string&, PassedOverReason) {});
}

// Switches the busy indication off at the end of a taking that switched it on.
class BusyGuard {
public:
    explicit BusyGuard(const std::function<void(bool)>& callback) : m_callback(callback) {}
    ~BusyGuard()
    {
        if (m_on)
            m_callback(false);
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

    void On()
    {
        if (m_on || !m_callback)
            return;
        m_callback(true);
        m_on = true;
    }

private:
    const std::function<void(bool)>& m_callback;
    bool m_on = false;
};

}  // namespace

void SortNames(std::vector<std::string>& names)
{
    // Reading the locale loads ICU, which one name does not need.
    if (names.size() < 2)
        return;
    // Read once per process, as the window program's Qt reads its system locale.
    static const std::string locale = CollationLocale([](const char* name) { return std::getenv(name); });
    SortNamesIn(names, locale);
}

std::vector<std::string> ListFolderFiles(const std::string& folder)
{
    std::vector<std::string> names;
    ForEachFolderFile(folder, [&](std::string name) { names.push_back(std::move(name)); });
    SortNames(names);
    return names;
}

FolderListing ListFolderAccounted(const std::string& folder)
{
    FolderListing listing;
    std::map<std::string, PassedOverReason> passedOver;
    ForEachFolderEntry(
        folder, [&](std::string name) { listing.files.push_back(std::move(name)); },
        [&](std::string name, PassedOverReason reason) {
            if (IsPictureEntry(name))
                passedOver.emplace(std::move(name), reason);
        });
    SortNames(listing.files);
    std::vector<std::string> names;
    names.reserve(passedOver.size());
    for (const auto& [name, reason] : passedOver)
        names.push_back(name);
    SortNames(names);
    listing.passedOver.reserve(names.size());
    for (std::string& name : names) {
        const PassedOverReason reason = passedOver.at(name);
        listing.passedOver.push_back({std::move(name), reason});
    }
    return listing;
}

std::string FolderErrorText(int errnum)
{
    switch (errnum) {
    case ENOENT:
        return "File not found";
    case ENOTDIR:
        return "Invalid filename";
    case EMFILE:
    case ENFILE:
        return "Too many open files";
    case EACCES:
    case EPERM:
        return "File access denied";
    default:
        return "I/O error " + std::to_string(errnum);
    }
}

void EnterFolder(const std::string& folder)
{
    if (::chdir(folder.c_str()) != 0)
        throw Error(FolderErrorText(errno));
}

std::string CurrentFolder()
{
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) {
            buffer.resize(std::char_traits<char>::length(buffer.data()));
            return buffer;
        }
        if (errno != ERANGE)
            throw Error(FolderErrorText(errno));
        buffer.resize(buffer.size() * 2);
    }
}

std::string EnteredFolder(const std::string& folder)
{
    EnterFolder(folder);
    return CurrentFolder();
}

std::vector<std::string> SourceListing::Entries()
{
    EnsureTaken();
    return m_entries;
}

SourceListing::SourceListing()
{
    // A process whose current folder was removed still gets a window; the first taking then
    // fails with the folder's error.
    try {
        m_listedFolder = CurrentFolder();
    } catch (const Error&) {
        m_listedFolder.clear();
    }
}

void SourceListing::EnsureTaken()
{
    if (m_taken)
        return;
    // Counts as taken even when this fails: later calls do not try the start folder again.
    m_taken = true;
    Take(m_listedFolder);
}

void SourceListing::Take(const std::string& folder)
{
    EnterFolder(folder);
    std::string listedFolder = CurrentFolder();

    BusyGuard busy(m_busy);
    std::vector<std::string> names;
    ForEachFolderFile(".", [&](std::string name) {
        names.push_back(std::move(name));
        if (names.size() == kBusyFromEntry)
            busy.On();
    });
    SortNames(names);
    m_listedFolder = std::move(listedFolder);
    m_entries = std::move(names);
}

void SourceListing::SelectFolder(const std::string& folder)
{
    EnsureTaken();
    if (folder.empty())
        return;

    // Try the folder first, without staying there, and learn its name as the system reports
    // it: two spellings of one folder (a trailing "/", a symbolic link) are the same folder.
    std::string resolved;
    {
        CurrentFolderKeeper keeper;
        EnterFolder(folder);
        resolved = CurrentFolder();
    }
    // The same folder again keeps the snapshot, even if its content has changed since.
    if (resolved == m_listedFolder)
        return;
    Take(resolved);
}

int SourceListing::Count()
{
    EnsureTaken();
    return static_cast<int>(m_entries.size());
}

std::string SourceListing::EntryAt(int index)
{
    EnsureTaken();
    if (index < 0 || static_cast<std::size_t>(index) >= m_entries.size())
        throw Error("List index out of bounds (" + std::to_string(index) + ")");
    return m_entries[static_cast<std::size_t>(index)];
}

PassedOverReason PassedOverReasonOfStatError(int errnum)
{
    switch (errnum) {
    case ELOOP:
        return PassedOverReason::LinkLoop;
    case ENOENT:
    case ENOTDIR:
        return PassedOverReason::DanglingLink;
    default:
        return PassedOverReason::Inaccessible;
    }
}

}  // namespace picbatch
