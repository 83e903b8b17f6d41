// The warnings of conversions.
#include "batch/failure_text.h"

#include "batch/convert_picture.h"

namespace picbatch {

std::optional<std::string> WarningOf(const ConversionNotes& notes)
{
    if (notes.incompleteSource)
        return std::string(kIncompleteSourceWarning);
    return std::nullopt;
}

}  // namespace picbatch
