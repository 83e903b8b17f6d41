// Reads BMP bytes with the whole-picture reader and with the band reader, for tests that
// require both to agree on every pixel, note and error.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp.h"
#include "pictures/bmp/bmp_stream.h"
#include "pictures/files/positional_input.h"

namespace picbatch {

// What a reader made of a file: its size and blue-green-red rows top first with the notes,
// or its error.
struct BmpOutcome {
    int width = -1;
    int height = -1;
    std::vector<std::uint8_t> pixels;
    bool incomplete = false;
    std::string error;
    FailureCause cause = FailureCause::Unknown;
    bool operator==(const BmpOutcome&) const = default;
};

inline BmpOutcome WholeBmpOutcome(std::span<const std::uint8_t> bytes)
{
    BmpOutcome outcome;
    try {
        Raster picture;
        outcome.incomplete = ParseBmp(bytes, picture).incomplete;
        picture.SetPixelForm(PixelForm::Bgr24);
        outcome.width = picture.Width();
        outcome.height = picture.Height();
        for (int y = 0; y < picture.Height(); ++y) {
            const auto row = picture.Row(y);
            outcome.pixels.insert(outcome.pixels.end(), row.begin(), row.begin() + 3 * picture.Width());
        }
    } catch (const Error& error) {
        outcome = {};
        outcome.error = error.what();
        outcome.cause = error.Cause();
    }
    return outcome;
}

// rowCalls, when given, counts the sink's calls.
inline BmpOutcome StreamedBmpOutcome(std::span<const std::uint8_t> bytes, int* rowCalls = nullptr)
{
    BmpOutcome outcome;
    try {
        MemoryInput input(bytes);
        outcome.incomplete = DecodeBmpRows(
            input,
            [&](int width, int height) {
                outcome.width = width;
                outcome.height = height;
            },
            [&](const std::uint8_t* first, std::int64_t step, int count) {
                if (rowCalls)
                    ++*rowCalls;
                for (int i = 0; i < count; ++i) {
                    const std::uint8_t* row = first + step * i;
                    outcome.pixels.insert(outcome.pixels.end(), row, row + 3 * std::int64_t{outcome.width});
                }
            }).incomplete;
    } catch (const Error& error) {
        outcome = {};
        outcome.error = error.what();
        outcome.cause = error.Cause();
    }
    return outcome;
}

inline void ExpectStreamMatchesWhole(std::span<const std::uint8_t> bytes)
{
    const BmpOutcome whole = WholeBmpOutcome(bytes);
    const BmpOutcome streamed = StreamedBmpOutcome(bytes);
    EXPECT_EQ(streamed.error, whole.error);
    EXPECT_EQ(streamed.cause, whole.cause);
    EXPECT_EQ(streamed.width, whole.width);
    EXPECT_EQ(streamed.height, whole.height);
    EXPECT_EQ(streamed.incomplete, whole.incomplete);
    EXPECT_TRUE(streamed.pixels == whole.pixels) << "the pixels differ";
}

}  // namespace picbatch
