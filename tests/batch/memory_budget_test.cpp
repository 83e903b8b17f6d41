// The default memory budget: the cgroup v1 and v2 limits read from trees made here, and the
// share of physical memory.
#include "batch/memory_budget.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/batch/picture_files.h"

namespace picbatch {

namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;

TEST(MemoryBudget, MemoryMaxFiles)
{
    EXPECT_EQ(ParseMemoryMax("max\n"), std::nullopt);
    EXPECT_EQ(ParseMemoryMax("536870912\n"), 536870912);
    EXPECT_EQ(ParseMemoryMax("0\n"), 0);
    EXPECT_EQ(ParseMemoryMax(""), std::nullopt);
    EXPECT_EQ(ParseMemoryMax("12 apples"), std::nullopt);
    EXPECT_EQ(ParseMemoryMax("-1"), std::nullopt);
    EXPECT_EQ(ParseMemoryMax("99999999999999999999999"), std::nullopt);
}

// Cgroup trees under a folder of the test's, as mountinfo says they are mounted.
class CgroupTree : public ::testing::Test {
protected:
    void Limit(const std::string& file, const std::string& text)
    {
        std::filesystem::create_directories(std::filesystem::path(root / file).parent_path());
        std::ofstream(root / file) << text;
    }
    std::optional<std::int64_t> LimitOf(const std::string& mountinfo, const std::string& procSelfCgroup)
    {
        return CgroupMemoryLimit(mountinfo, procSelfCgroup, root.Path());
    }

    TempFolder root;
};

constexpr const char* kUnifiedOnly = "30 23 0:26 / /sys/fs/cgroup rw,nosuid - cgroup2 cgroup2 rw,nsdelegate\n";
constexpr const char* kHybrid =
    "35 31 0:32 / /sys/fs/cgroup/memory rw,relatime - cgroup cgroup rw,memory\n"
    "36 31 0:33 / /sys/fs/cgroup/cpu,cpuacct rw,relatime - cgroup cgroup rw,cpu,cpuacct\n"
    "41 31 0:38 / /sys/fs/cgroup/unified rw,relatime - cgroup2 cgroup2 rw\n";
// A container without a cgroup namespace: its own group is mounted as the hierarchy's root.
constexpr const char* kContainerV1 =
    "35 31 0:32 /docker/abc /sys/fs/cgroup/memory ro,nosuid shared:9 - cgroup cgroup rw,memory\n";

TEST_F(CgroupTree, TheSmallestLimitOfTheGroupAndItsAncestorsHolds)
{
    Limit("sys/fs/cgroup/app/memory.max", "max\n");
    Limit("sys/fs/cgroup/app/job/memory.max", "1073741824\n");
    Limit("sys/fs/cgroup/memory/app/memory.limit_in_bytes", "9223372036854771712\n");  // v1's "unlimited"
    Limit("sys/fs/cgroup/memory/app/job/memory.limit_in_bytes", "268435456\n");
    Limit("sys/fs/cgroup/memory/memory.limit_in_bytes", "536870912\n");
    Limit("sys/fs/cgroup/unified/app/memory.max", "134217728\n");
    const struct {
        const char* name;
        const char* mountinfo;
        const char* procSelfCgroup;
        std::int64_t limit;
    } cases[] = {
        {"v2, the group's own", kUnifiedOnly, "0::/app/job\n", kGiB},
        {"v2 beside v1 lines, which name no memory mount", kUnifiedOnly, "4:memory:/app/job\n0::/app/job\n", kGiB},
        {"hybrid: v1 memory", kHybrid, "4:memory:/app/job\n0::/other\n", kGiB / 4},
        {"hybrid: v1 and v2, the smaller", kHybrid, "4:memory:/app/job\n0::/app\n", kGiB / 8},
        {"v1 with other controllers on its line", kHybrid, "4:cpu,memory:/app/job\n", kGiB / 4},
        {"a container's group at the mount's root", kContainerV1, "4:memory:/docker/abc\n", kGiB / 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LimitOf(c.mountinfo, c.procSelfCgroup), c.limit);
    }
    Limit("sys/fs/cgroup/app/memory.max", "536870912\n");
    EXPECT_EQ(LimitOf(kUnifiedOnly, "0::/app/job\n"), kGiB / 2);  // an ancestor's, smaller
    Limit("sys/fs/cgroup/memory.max", "1048576\n");  // a namespace's root: the container's group
    EXPECT_EQ(LimitOf(kUnifiedOnly, "0::/\n"), 1048576);
}

TEST_F(CgroupTree, NoLimitWithoutAGroupOrItsFiles)
{
    Limit("sys/fs/cgroup/app/memory.max", "max\n");
    const struct {
        const char* mountinfo;
        const char* procSelfCgroup;
    } cases[] = {
        {kUnifiedOnly, "0::/app\n"},            // "max"
        {kUnifiedOnly, "0::/\n"},               // the root has no memory.max
        {kUnifiedOnly, "0::/elsewhere/job\n"},  // no files there
        {kUnifiedOnly, "4:memory:/app\n"},      // no v1 memory mount, no v2 line
        {kUnifiedOnly, "0::/../app\n"},         // outside the namespace's root
        {kContainerV1, "4:memory:/docker/other\n"},  // not under the mount's root
        {"", "0::/app\n"},                      // nothing mounted
        {kUnifiedOnly, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mountinfo) + c.procSelfCgroup);
        EXPECT_EQ(LimitOf(c.mountinfo, c.procSelfCgroup), std::nullopt);
    }
}

// A resource limit of the process counts as a cgroup's would.
TEST(MemoryBudget, TheProcesssResourceLimitHolds)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory is data beyond any limit tried here";
#endif
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_DATA, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < static_cast<rlim_t>(kGiB))
        GTEST_SKIP() << "the hard limit is below the one tried";
    rlimit lowered = saved;
    lowered.rlim_cur = static_cast<rlim_t>(kGiB);
    ASSERT_EQ(::setrlimit(RLIMIT_DATA, &lowered), 0);
    rlimit kept {};
    ::getrlimit(RLIMIT_DATA, &kept);
    if (kept.rlim_cur != lowered.rlim_cur) {
        ::setrlimit(RLIMIT_DATA, &saved);
        GTEST_SKIP() << "the limit is not kept here (qemu's user mode passes it over)";
    }
    const std::optional<std::int64_t> limit = ResourceLimit();
    const std::int64_t budget = DefaultMemoryBudget();
    ::setrlimit(RLIMIT_DATA, &saved);
    ASSERT_TRUE(limit.has_value());
    EXPECT_LE(*limit, kGiB);
    EXPECT_LE(budget, kGiB / 4 * 3);
}

TEST(MemoryBudget, HalfThePhysicalMemoryAndThreeQuartersOfTheCgroupsLimit)
{
    EXPECT_EQ(MemoryBudgetFrom(16 * kGiB, std::nullopt), 8 * kGiB);
    EXPECT_EQ(MemoryBudgetFrom(16 * kGiB, 4 * kGiB), 3 * kGiB);
    EXPECT_EQ(MemoryBudgetFrom(4 * kGiB, 32 * kGiB), 2 * kGiB);
    EXPECT_EQ(MemoryBudgetFrom(16 * kGiB, 0), 1);  // still a budget: every picture runs alone
    EXPECT_GT(MemoryBudgetFrom(0, std::nullopt), 0);
    EXPECT_GT(DefaultMemoryBudget(), 0);
}

}  // namespace

}  // namespace picbatch
