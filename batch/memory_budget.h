// How much memory a run's pictures in flight may take together, when nobody says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace picbatch {

// The limit in a cgroup v2 memory.max file: the number of bytes, or nothing for "max" (no
// limit) and for text that is neither.
std::optional<std::int64_t> ParseMemoryMax(std::string_view text);

// The memory limit of the cgroup that procSelfCgroup (the text of /proc/self/cgroup) names
// under the cgroup v2 tree mounted at root, the smallest of its own and its ancestors'
// memory.max; nothing when none is set or the process is in no v2 cgroup.
std::optional<std::int64_t> CgroupMemoryLimit(const std::string& root, const std::string& procSelfCgroup);

// The budget from the machine's physical memory and a cgroup's limit: half of the physical
// memory, which other programs share, and at most three quarters of the cgroup's, which is
// the process's own but for the program's code and the listing. At least 1.
std::int64_t MemoryBudgetFrom(std::int64_t physicalBytes, std::optional<std::int64_t> cgroupLimit);

// MemoryBudgetFrom this machine's physical memory (sysconf) and this process's cgroup
// (/proc/self/cgroup, /sys/fs/cgroup).
std::int64_t DefaultMemoryBudget();

}  // namespace picbatch
