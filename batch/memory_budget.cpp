// The default memory budget: the machine's physical memory and the cgroup v2 limit.
#include "batch/memory_budget.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace picbatch {

namespace {

constexpr std::string_view kUnifiedLinePrefix = "0::";  // the cgroup v2 line of /proc/self/cgroup

std::optional<std::string> FileText(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The cgroup v2 path of the process ("/user.slice/..."), or nothing.
std::optional<std::string> UnifiedCgroupPath(const std::string& procSelfCgroup)
{
    std::istringstream lines(procSelfCgroup);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with(kUnifiedLinePrefix))
            continue;
        std::string path = line.substr(kUnifiedLinePrefix.size());
        // A cgroup outside the namespace's root shows as "/.."; its files are not under root.
        if (!path.starts_with("/") || path.find("/..") != std::string::npos)
            return std::nullopt;
        return path;
    }
    return std::nullopt;
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

std::optional<std::int64_t> CgroupMemoryLimit(const std::string& root, const std::string& procSelfCgroup)
{
    std::optional<std::string> path = UnifiedCgroupPath(procSelfCgroup);
    if (!path)
        return std::nullopt;
    // A limit of any ancestor holds for the process too; the root cgroup has no memory.max.
    std::optional<std::int64_t> limit;
    while (path->size() > 1) {
        if (const std::optional<std::string> text = FileText(root + *path + "/memory.max")) {
            if (const std::optional<std::int64_t> here = ParseMemoryMax(*text))
                limit = limit ? std::min(*limit, *here) : *here;
        }
        path->erase(path->rfind('/'));
        if (path->empty())
            break;
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
    const std::optional<std::string> cgroup = FileText("/proc/self/cgroup");
    return MemoryBudgetFrom(physical, cgroup ? CgroupMemoryLimit("/sys/fs/cgroup", *cgroup) : std::nullopt);
}

}  // namespace picbatch
