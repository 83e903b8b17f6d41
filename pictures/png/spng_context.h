// Ownership of a libspng context, and the errors its codes become. Private to the PNG reader
// and writer.
#pragma once

#include <memory>

#include <spng.h>

#include "imaging/error.h"

namespace picbatch {

struct SpngContextFree {
    void operator()(spng_ctx* context) const noexcept { spng_ctx_free(context); }
};

// A libspng context, freed when destroyed; never null (throws "Out of system resources").
class SpngContext {
public:
    explicit SpngContext(int flags);

    spng_ctx* Get() const { return m_context.get(); }

private:
    std::unique_ptr<spng_ctx, SpngContextFree> m_context;
};

// "PNG error #<code>" with the cause the code tells (a file that is not a PNG, memory).
Error PngError(int code);

}  // namespace picbatch
