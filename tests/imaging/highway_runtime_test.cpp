// imaging/highway_runtime.cpp against Highway's own library: the same targets for this
// processor, so that HWY_DYNAMIC_DISPATCH chooses as libhwy.so would.
#include <hwy/highway.h>
#include <hwy/targets.h>

#include <gtest/gtest.h>

#include "imaging/resample_path.h"

#include <dlfcn.h>

#include <cstdint>

namespace picbatch {

TEST(HighwayRuntime, SameTargetsAsHighwaysLibrary)
{
    // Loaded here only: the product does without it.
    void* library = dlopen("libhwy.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        GTEST_SKIP() << "libhwy.so.1 is not installed: " << dlerror();
    }
    using Function = std::int64_t (*)();
    const auto theirs = reinterpret_cast<Function>(dlsym(library, "_ZN3hwy16SupportedTargetsEv"));
    ASSERT_NE(theirs, nullptr) << dlerror();
    // Compared on the targets compiled here: the library also names those it was built for.
    EXPECT_EQ(hwy::SupportedTargets() & HWY_TARGETS, theirs() & HWY_TARGETS)
        << std::hex << hwy::SupportedTargets() << " against " << theirs();
    dlclose(library);
}

TEST(HighwayRuntime, TheDispatchTakesTheBestSupportedTarget)
{
    const std::int64_t supported = hwy::SupportedTargets() & HWY_TARGETS;
    // The best target has the lowest bit; Highway's scalar fallback, and no target at all (an
    // aarch64 without AES, whose NEON Highway 1.0.3 does not name supported), stand for the
    // reference.
    const std::int64_t best = supported & -supported;
    const ResamplePath fastest = FastestResamplePath();
    if (best == 0 || best == HWY_SCALAR || best == HWY_EMU128) {
        EXPECT_EQ(fastest, ResamplePath::Reference);
    } else {
        EXPECT_EQ(fastest.target, best) << hwy::TargetName(best);
    }
}

}  // namespace picbatch
