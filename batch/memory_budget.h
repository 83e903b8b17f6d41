// How much memory a run's pictures in flight may take together, when nobody says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace picbatch {

// The limit in a cgroup v2 memory.max file or a v1 memory.limit_in_bytes file: the number of
// bytes, or nothing for "max" (no limit) and for text that is neither.
std::optional<std::int64_t> ParseMemoryMax(std::string_view text);

// The memory limit of the process's cgroups, the smallest of its own group's and its
// ancestors': cgroup v2's memory.max and cgroup v1's memory.limit_in_bytes, wherever
// mountinfo (the text of /proc/self/mountinfo) says they are mounted (/sys/fs/cgroup,
// /sys/fs/cgroup/unified and /sys/fs/cgroup/memory in the hybrid layout, a container's own
// group), for the groups procSelfCgroup (the text of /proc/self/cgroup) names. Files are
// read under prefix ("" on the machine itself). Nothing when no limit is set.
std::optional<std::int64_t> CgroupMemoryLimit(const std::string& mountinfo, const std::string& procSelfCgroup,
                                              const std::string& prefix);

// The smaller of the process's RLIMIT_AS and RLIMIT_DATA, or nothing when neither is set.
std::optional<std::int64_t> ResourceLimit();

// The budget from the machine's physical memory and the process's own limit (a cgroup's or
// a resource limit): half of the physical memory, which other programs share, and at most
// three quarters of the limit, which is the process's own but for the program's code and
// the listing. At least 1.
std::int64_t MemoryBudgetFrom(std::int64_t physicalBytes, std::optional<std::int64_t> cgroupLimit);

// MemoryBudgetFrom this machine's physical memory (sysconf) and the smallest of this
// process's cgroup limits (/proc/self/mountinfo, /proc/self/cgroup) and resource limits.
std::int64_t DefaultMemoryBudget();

}  // namespace picbatch
