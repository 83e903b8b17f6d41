// Highway's choice of target at run time, without its shared library: the two functions that
// HWY_EXPORT and HWY_DYNAMIC_DISPATCH call (hwy::SupportedTargets, hwy::GetChosenTarget), and
// the two that steer them in tests, as Highway 1.0.3's hwy/targets.cc defines them for x86-64
// and aarch64 (the same processor features for each target, the same operating-system
// checks). libhwy.so is not linked: loading it runs a static constructor of its
// nanobenchmark that calibrates a timer, 3.7 ms of processor time in every process on the
// development machine, more than picbatch-cli's whole start-up (1.5 ms). The tests compare
// this with the library's own answer (tests/imaging/highway_runtime_test.cpp).
#include <hwy/highway.h>
#include <hwy/targets.h>

#include <atomic>
#include <cstdint>

#if HWY_ARCH_X86
#include <cpuid.h>
#elif HWY_ARCH_ARM_A64 && defined(__linux__)
#include <sys/auxv.h>
#include <sys/prctl.h>
#endif

namespace hwy {

namespace {

// The targets SetSupportedTargetsForTest asks for (0: none), and those DisableTargets leaves.
std::atomic<std::int64_t> g_targetsForTest{0};
std::atomic<std::int64_t> g_enabledMask{LimitsMax<std::int64_t>()};

ChosenTarget g_chosenTarget;  // constant-initialized: no guard on the dispatch path

#if HWY_ARCH_X86_64

bool Bit(std::uint32_t reg, int index)
{
    return (reg >> index & 1u) != 0;
}

// The features each target needs, in Highway 1.0.3's groups: SSSE3 needs SSE to SSSE3; SSE4
// also SSE4.1, SSE4.2, CLMUL and AES; AVX2 also AVX, AVX2, F16C, FMA, LZCNT, BMI and BMI2;
// AVX3 also AVX-512 F, VL, DQ and BW.
std::int64_t DetectTargets()
{
    std::int64_t targets = HWY_SCALAR | HWY_EMU128;
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    __cpuid_count(0, 0, a, b, c, d);
    const unsigned maxLevel = a;
    __cpuid_count(1, 0, a, b, c, d);
    const bool ssse3 = Bit(d, 25) && Bit(d, 26) && Bit(c, 0) && Bit(c, 9);
    const bool sse4 = ssse3 && Bit(c, 19) && Bit(c, 20) && Bit(c, 1) && Bit(c, 25);
    const bool osxsave = Bit(c, 27);
    bool avx2 = sse4 && Bit(c, 28) && Bit(c, 29) && Bit(c, 12);
    bool avx3 = false;
    __cpuid_count(0x80000001u, 0, a, b, c, d);
    avx2 = avx2 && Bit(c, 5);
    if (maxLevel >= 7) {
        __cpuid_count(7, 0, a, b, c, d);
        avx2 = avx2 && Bit(b, 3) && Bit(b, 5) && Bit(b, 8);
        avx3 = avx2 && Bit(b, 16) && Bit(b, 31) && Bit(b, 17) && Bit(b, 30);
    } else {
        avx2 = false;
    }
    targets |= (ssse3 ? HWY_SSSE3 : 0) | (sse4 ? HWY_SSE4 : 0) | (avx2 ? HWY_AVX2 : 0) | (avx3 ? HWY_AVX3 : 0);
    // Only registers the operating system saves on a switch of tasks are usable.
    if (osxsave) {
        std::uint32_t low = 0;
        std::uint32_t high = 0;
        asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        if (!Bit(low, 1)) {  // XMM
            targets = HWY_SCALAR | HWY_EMU128;
        }
        if (!Bit(low, 2)) {  // YMM
            targets &= ~(HWY_AVX2 | HWY_AVX3 | HWY_AVX3_DL);
        }
        if (!Bit(low, 5) || !Bit(low, 6) || !Bit(low, 7)) {  // opmask, ZMM
            targets &= ~(HWY_AVX3 | HWY_AVX3_DL);
        }
    }
    return targets;
}

#elif HWY_ARCH_ARM_A64 && defined(__linux__)

// NEON (with AES, as Highway 1.0.3 requires for its NEON target), SVE, and SVE2 with its AES;
// SVE_256 and SVE2_128 where the vector length is 32 or 16 bytes.
std::int64_t DetectTargets()
{
    constexpr unsigned long kAes = 1ul << 3;     // HWCAP_AES
    constexpr unsigned long kSve = 1ul << 22;    // HWCAP_SVE
    constexpr unsigned long kSve2 = 1ul << 1;    // HWCAP2_SVE2
    constexpr unsigned long kSveAes = 1ul << 2;  // HWCAP2_SVEAES
    std::int64_t targets = HWY_SCALAR | HWY_EMU128;
    const unsigned long hw = getauxval(AT_HWCAP);
    const unsigned long hw2 = getauxval(AT_HWCAP2);
    targets |= (hw & kAes) != 0 ? HWY_NEON : 0;
    targets |= (hw & kSve) != 0 ? HWY_SVE : 0;
    targets |= (hw2 & kSve2) != 0 && (hw2 & kSveAes) != 0 ? HWY_SVE2 : 0;
    const int length = (targets & HWY_SVE) != 0 ? prctl(PR_SVE_GET_VL) : -1;
    const int bytes = length < 0 ? 16 : length & PR_SVE_VL_LEN_MASK;
    if ((targets & HWY_SVE) != 0 && bytes == 32) {
        targets |= HWY_SVE_256;
    } else if ((targets & HWY_SVE2) != 0 && bytes == 16) {
        targets |= HWY_SVE2_128;
    }
    return targets;
}

#else

// Elsewhere only what the compiler was told the processor has.
std::int64_t DetectTargets()
{
    return HWY_SCALAR | HWY_EMU128 | HWY_ENABLED_BASELINE;
}

#endif

}  // namespace

int64_t SupportedTargets()
{
    std::int64_t targets = g_targetsForTest.load(std::memory_order_relaxed);
    if (targets == 0) {
        // Detected once; the processor does not change.
        static const std::int64_t detected = DetectTargets();
        targets = detected;
    }
    targets &= g_enabledMask.load(std::memory_order_relaxed);
    return targets == 0 ? HWY_STATIC_TARGET : targets;
}

void DisableTargets(int64_t disabled_targets)
{
    g_enabledMask.store(~disabled_targets, std::memory_order_relaxed);
    // The next HWY_DYNAMIC_DISPATCH chooses again.
    g_chosenTarget.DeInit();
}

void SetSupportedTargetsForTest(int64_t targets)
{
    g_targetsForTest.store(targets, std::memory_order_relaxed);
    g_chosenTarget.DeInit();
}

ChosenTarget& GetChosenTarget()
{
    return g_chosenTarget;
}

}  // namespace hwy
