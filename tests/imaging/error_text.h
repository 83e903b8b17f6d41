// The message of the Error that a test action throws, for comparing with the exact text.
#pragma once

#include <string>

#include "imaging/error.h"

namespace picbatch {

// What action throws as Error; "(no error)" when it throws nothing.
template <typename Action>
std::string ErrorText(Action&& action)
{
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "(no error)";
}

}  // namespace picbatch
