// The default memory budget: the cgroup v2 limit read from a tree made here, and the share
// of physical memory.
#include "batch/memory_budget.h"

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

// A cgroup tree under a folder of the test's: root/app/job holds the process.
class CgroupTree : public ::testing::Test {
protected:
    void Limit(const std::string& group, const std::string& text)
    {
        std::filesystem::create_directories(root / group);
        std::ofstream(root / group + "/memory.max") << text;
    }
    std::optional<std::int64_t> LimitOf(const std::string& procSelfCgroup)
    {
        return CgroupMemoryLimit(root.Path(), procSelfCgroup);
    }

    TempFolder root;
};

TEST_F(CgroupTree, TheSmallestLimitOfTheGroupAndItsAncestorsHolds)
{
    Limit("app", "max\n");
    Limit("app/job", "1073741824\n");
    EXPECT_EQ(LimitOf("0::/app/job\n"), kGiB);
    Limit("app", "536870912\n");
    EXPECT_EQ(LimitOf("0::/app/job\n"), kGiB / 2);
    // Among the lines of cgroup v1 controllers, only the unified one counts.
    EXPECT_EQ(LimitOf("4:memory:/app\n0::/app/job\n"), kGiB / 2);
}

TEST_F(CgroupTree, NoLimitWithoutAGroupOrItsFiles)
{
    Limit("app", "max\n");
    const char* cases[] = {
        "0::/app\n",              // "max"
        "0::/\n",                 // the root has no memory.max
        "0::/elsewhere/job\n",    // no files there
        "4:memory:/app\n",        // cgroup v1 only
        "0::/../app\n",           // outside the namespace's root
        "",
    };
    for (const char* procSelfCgroup : cases) {
        SCOPED_TRACE(procSelfCgroup);
        EXPECT_EQ(LimitOf(procSelfCgroup), std::nullopt);
    }
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
