// TEMP: stand-ins for the SSE2 and AVX2 kernels off x86, until they are rewritten for every
// processor. ResamplePathAvailable refuses their paths there, so none is ever called.
#include "imaging/lanczos_shortcut.h"
#include "imaging/resample_vector.h"

#include <cstdlib>

namespace picbatch {

void DeinterleaveSse2(const std::uint8_t* /*bgr*/, std::int32_t /*count*/, std::int16_t* /*planes*/[3])
{
    std::abort();
}

void HorizontalSse2(const HorizontalJob& /*job*/)
{
    std::abort();
}

void VerticalSse2(const VerticalJob& /*job*/)
{
    std::abort();
}

void VerticalAvx2(const VerticalJob& /*job*/)
{
    std::abort();
}

void InterleaveRowsAvx2(const std::uint8_t* const (& /*rows*/)[kHorizontalRows], std::int32_t /*count*/,
                        std::int16_t* /*columns*/)
{
    std::abort();
}

void HorizontalColumnsAvx2(const HorizontalJob& /*job*/)
{
    std::abort();
}

std::size_t LanczosKernelsAvx2(std::span<const float> /*arguments*/, std::span<float> /*values*/)
{
    std::abort();
}

}  // namespace picbatch
