// The default memory budget: the machine's physical memory, the cgroup limits and the
// process's own resource limits.
#include "batch/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <vector>

namespace picbatch {

namespace {

std::optional<std::string> FileText(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Fields(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, separator);)
        fields.push_back(field);
    return fields;
}

// Where one hierarchy of cgroups is mounted: the folder, and the cgroup it shows there.
struct CgroupMount {
    std::string mountPoint;
    std::string root;
};

// The mounts of mountinfo (the text of /proc/self/mountinfo) for cgroup v2 ("cgroup2") and
// for cgroup v1's memory controller ("cgroup" with "memory" among its options).
void FindCgroupMounts(const std::string& mountinfo, std::optional<CgroupMount>& unified,
                      std::optional<CgroupMount>& memory)
{
    std::istringstream lines(mountinfo);
    for (std::string line; std::getline(lines, line);) {
        // "id parent major:minor root mount-point options [optional...] - type source super-options"
        const std::vector<std::string> fields = Fields(line, ' ');
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 5 || fields.end() - dash < 4)
            continue;
        const CgroupMount mount{fields[4], fields[3]};
        const std::string& type = dash[1];
        if (type == "cgroup2" && !unified)
            unified = mount;
        const std::vector<std::string> options = Fields(dash[3], ',');
        if (type == "cgroup" && !memory && std::find(options.begin(), options.end(), "memory") != options.end())
            memory = mount;
    }
}

// The process's cgroup path ("/user.slice/...") in the hierarchy whose line of
// procSelfCgroup satisfies isIt (given the line's controllers), or nothing.
template <typename Predicate>
std::optional<std::string> CgroupPath(const std::string& procSelfCgroup, Predicate isIt)
{
    std::istringstream lines(procSelfCgroup);
    for (std::string line; std::getline(lines, line);) {
        // "hierarchy-id:controllers:path"; the path may hold ':' itself.
        const auto first = line.find(':');
        const auto second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos || !isIt(line.substr(0, first), line.substr(first + 1, second - first - 1)))
            continue;
        std::string path = line.substr(second + 1);
        // A cgroup outside the namespace's root shows as "/.."; its files are not under root.
        if (!path.starts_with("/") || path.find("/..") != std::string::npos)
            return std::nullopt;
        return path;
    }
    return std::nullopt;
}

// The smallest limit in the files named limitFile of the process's cgroup at path and its
// ancestors, as mounted at mount (read under prefix); nothing when none is set.
std::optional<std::int64_t> SmallestLimit(const std::string& prefix, const CgroupMount& mount, std::string path,
                                          const char* limitFile)
{
    // Without a namespace of its own the mount shows a cgroup below the hierarchy's root (a
    // container's, say): the process's path then begins with it.
    if (mount.root != "/") {
        if (path != mount.root && !path.starts_with(mount.root + "/"))
            return std::nullopt;
        path.erase(0, mount.root.size());
    }
    // A limit of any ancestor holds for the process too, up to the mount's own folder (a
    // container's group, where the namespace starts there).
    std::optional<std::int64_t> limit;
    for (;;) {
        const std::string folder = prefix + mount.mountPoint + (path == "/" ? "" : path);
        if (const std::optional<std::string> text = FileText(folder + "/" + limitFile)) {
            if (const std::optional<std::int64_t> here = ParseMemoryMax(*text))
                limit = limit ? std::min(*limit, *here) : *here;
        }
        if (path.empty() || path == "/")
            break;
        path.erase(path.rfind('/'));
    }
    return limit;
}

std::optional<std::int64_t> Smaller(std::optional<std::int64_t> a, std::optional<std::int64_t> b)
{
    if (a && b)
        return std::min(*a, *b);
    return a ? a : b;
}

}  // namespace

std::optional<std::int64_t> ParseMemoryMax(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    std::int64_t bytes = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), bytes);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || bytes < 0)
        return std::nullopt;  // "max", or nothing readable
    return bytes;
}

std::optional<std::int64_t> CgroupMemoryLimit(const std::string& mountinfo, const std::string& procSelfCgroup,
                                              const std::string& prefix)
{
    std::optional<CgroupMount> unified;
    std::optional<CgroupMount> memory;
    FindCgroupMounts(mountinfo, unified, memory);
    std::optional<std::int64_t> limit;
    if (unified) {
        const auto isUnified = [](const std::string& id, const std::string& controllers) {
            return id == "0" && controllers.empty();
        };
        if (const std::optional<std::string> path = CgroupPath(procSelfCgroup, isUnified))
            limit = Smaller(limit, SmallestLimit(prefix, *unified, *path, "memory.max"));
    }
    if (memory) {
        const auto isMemory = [](const std::string&, const std::string& controllers) {
            const std::vector<std::string> names = Fields(controllers, ',');
            return std::find(names.begin(), names.end(), "memory") != names.end();
        };
        if (const std::optional<std::string> path = CgroupPath(procSelfCgroup, isMemory))
            limit = Smaller(limit, SmallestLimit(prefix, *memory, *path, "memory.limit_in_bytes"));
    }
    return limit;
}

std::optional<std::int64_t> ResourceLimit()
{
    std::optional<std::int64_t> limit;
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit value {};
        if (::getrlimit(resource, &value) == 0 && value.rlim_cur != RLIM_INFINITY
            && value.rlim_cur <= static_cast<rlim_t>(std::numeric_limits<std::int64_t>::max()))
            limit = Smaller(limit, static_cast<std::int64_t>(value.rlim_cur));
    }
    return limit;
}

std::int64_t MemoryBudgetFrom(std::int64_t physicalBytes, std::optional<std::int64_t> cgroupLimit)
{
    std::int64_t budget = physicalBytes > 0 ? physicalBytes / 2 : std::numeric_limits<std::int64_t>::max();
    if (cgroupLimit)
        budget = std::min(budget, *cgroupLimit / 4 * 3);
    return std::max<std::int64_t>(budget, 1);
}

std::int64_t DefaultMemoryBudget()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    std::int64_t physical = 0;
    if (pages > 0 && pageSize > 0 && pages <= std::numeric_limits<std::int64_t>::max() / pageSize)
        physical = std::int64_t{pages} * pageSize;
    const std::optional<std::string> mountinfo = FileText("/proc/self/mountinfo");
    const std::optional<std::string> cgroup = FileText("/proc/self/cgroup");
    std::optional<std::int64_t> limit = ResourceLimit();
    if (mountinfo && cgroup)
        limit = Smaller(limit, CgroupMemoryLimit(*mountinfo, *cgroup, ""));
    return MemoryBudgetFrom(physical, limit);
}

}  // namespace picbatch
