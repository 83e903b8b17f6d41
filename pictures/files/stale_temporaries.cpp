// Removing the temporaries of killed runs, and only those: a temporary of a run still going
// elsewhere must never vanish under it.
#include "pictures/files/stale_temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "pictures/files/file_descriptor.h"
#include "pictures/files/long_path.h"
#include "pictures/files/output_file.h"

namespace picbatch {

namespace {

// The length of the random part of a temporary's name (TemporaryName).
constexpr std::size_t kRandomLetters = 8;

// The process id in name when it is a temporary's name of this host: "<prefix><pid>-<8>.tmp".
pid_t ProcessOf(std::string_view name, const std::string& prefix)
{
    constexpr std::string_view kSuffix = ".tmp";
    if (!name.starts_with(prefix) || !name.ends_with(kSuffix))
        return 0;
    name.remove_prefix(prefix.size());
    name.remove_suffix(kSuffix.size());
    if (name.size() < kRandomLetters + 2 || name[name.size() - kRandomLetters - 1] != '-')
        return 0;
    name.remove_suffix(kRandomLetters + 1);
    // At most 7 digits: Linux process ids stay below 2^22.
    if (name.empty() || name.size() > 7 || name.find_first_not_of("0123456789") != std::string_view::npos)
        return 0;
    return static_cast<pid_t>(std::strtol(std::string(name).c_str(), nullptr, 10));
}

bool Runs(pid_t process)
{
    return ::kill(process, 0) == 0 || errno != ESRCH;
}

// The regular file name in folder, opened and locked when nobody else holds it locked (else
// none); the lock is kept while the descriptor lives, so that no other holder can come before
// the file is removed.
FileDescriptor LockedByUs(int folder, const char* name)
{
    FileDescriptor file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)
        || ::flock(file.Get(), LOCK_EX | LOCK_NB) != 0)
        return FileDescriptor(-1);
    return file;
}

}  // namespace

int RemoveStaleTemporaries(const std::string& folder)
{
    FileDescriptor folderFd = OpenFolder(folder, O_RDONLY);
    if (folderFd.Get() < 0)
        return 0;
    FileDescriptor listed(::dup(folderFd.Get()));
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(listed.Get() >= 0 ? ::fdopendir(listed.Get()) : nullptr,
                                                      ::closedir);
    if (!listing)
        return 0;
    listed.Release();  // the listing owns it now
    const std::string prefix = TemporaryNamePrefix();
    int removed = 0;
    while (const dirent* entry = ::readdir(listing.get())) {
        const pid_t process = ProcessOf(entry->d_name, prefix);
        if (process <= 0 || process == ::getpid() || Runs(process))
            continue;
        const FileDescriptor held = LockedByUs(folderFd.Get(), entry->d_name);
        if (held.Get() >= 0 && ::unlinkat(folderFd.Get(), entry->d_name, 0) == 0)
            ++removed;
    }
    return removed;
}

}  // namespace picbatch
