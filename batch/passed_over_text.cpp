#include "batch/passed_over_text.h"

namespace picbatch {

const PassedOverText& TextOf(PassedOverReason reason)
{
    for (const PassedOverText& text : kPassedOverTexts) {
        if (text.reason == reason)
            return text;
    }
    return kPassedOverTexts.back();
}

std::string PassedOverReasonText(PassedOverReason reason)
{
    const PassedOverText& text = TextOf(reason);
    return std::string(text.chinese) + " / " + text.english;
}

}  // namespace picbatch
