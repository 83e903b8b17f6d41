// The sizes of the fit modes and size forms, in a table of extreme and near-equal proportions.
#include <gtest/gtest.h>

#include "batch/fitted_size.h"

namespace picbatch {

namespace {

ConversionRequest Box(int width, int height, FitMode fit, bool shrinkOnly = false, bool turns = false)
{
    ConversionRequest request{width, height, OutputMode::KeepFormat, {}};
    request.options.fit = fit;
    request.options.shrinkOnly = shrinkOnly;
    request.options.boxFollowsOrientation = turns;
    return request;
}

ConversionRequest Single(SizeForm form, int value, bool shrinkOnly = false)
{
    ConversionRequest request;
    request.form = form;
    request.options.shrinkOnly = shrinkOnly;
    (form == SizeForm::Width ? request.width : form == SizeForm::Height ? request.height
                                             : form == SizeForm::Percent ? request.percent
                                                                          : request.longEdge) = value;
    return request;
}

TEST(FittedSize, RoundsHalvesUp)
{
    EXPECT_EQ(RoundedQuotient(1, 2), 1);
    EXPECT_EQ(RoundedQuotient(5, 2), 3);
    EXPECT_EQ(RoundedQuotient(7, 4), 2);
    EXPECT_EQ(RoundedQuotient(5, 4), 1);
    EXPECT_EQ(RoundedQuotient(0, 9), 0);
}

TEST(FittedSize, SizesWindowsAndCanvases)
{
    struct Case {
        const char* name;
        int width;
        int height;
        ConversionRequest request;
        FittedSize expected;  // window; size; canvas and offsets
    };
    const Case cases[] = {
        {"stretch", 10000, 1, Box(800, 600, FitMode::Stretch), {{0, 0, 10000, 1}, 800, 600, 800, 600, 0, 0}},
        {"contain tall line", 1, 10000, Box(800, 600, FitMode::Contain), {{0, 0, 1, 10000}, 1, 600, 1, 600, 0, 0}},
        {"contain wide line", 10000, 1, Box(800, 600, FitMode::Contain), {{0, 0, 10000, 1}, 800, 1, 800, 1, 0, 0}},
        {"contain square", 500, 500, Box(800, 600, FitMode::Contain), {{0, 0, 500, 500}, 600, 600, 600, 600, 0, 0}},
        {"contain one pixel wider", 801, 600, Box(800, 600, FitMode::Contain),
         {{0, 0, 801, 600}, 800, 599, 800, 599, 0, 0}},
        {"contain same proportions", 1600, 1200, Box(800, 600, FitMode::Contain),
         {{0, 0, 1600, 1200}, 800, 600, 800, 600, 0, 0}},
        {"contain portrait", 2560, 3837, Box(800, 600, FitMode::Contain),
         {{0, 0, 2560, 3837}, 400, 600, 400, 600, 0, 0}},
        {"pad square", 500, 500, Box(800, 600, FitMode::Pad), {{0, 0, 500, 500}, 600, 600, 800, 600, 100, 0}},
        {"pad tall line", 1, 10000, Box(800, 600, FitMode::Pad), {{0, 0, 1, 10000}, 1, 600, 800, 600, 399, 0}},
        {"pad wide line", 10000, 1, Box(800, 600, FitMode::Pad), {{0, 0, 10000, 1}, 800, 1, 800, 600, 0, 299}},
        {"pad one pixel wider", 801, 600, Box(800, 600, FitMode::Pad), {{0, 0, 801, 600}, 800, 599, 800, 600, 0, 0}},
        {"cover tall line", 1, 10000, Box(800, 600, FitMode::Cover), {{0, 4999, 1, 1}, 800, 600, 800, 600, 0, 0}},
        {"cover wide line", 10000, 1, Box(800, 600, FitMode::Cover), {{4999, 0, 1, 1}, 800, 600, 800, 600, 0, 0}},
        {"cover square", 500, 500, Box(800, 600, FitMode::Cover), {{0, 62, 500, 375}, 800, 600, 800, 600, 0, 0}},
        {"cover one pixel wider", 801, 600, Box(800, 600, FitMode::Cover),
         {{0, 0, 800, 600}, 800, 600, 800, 600, 0, 0}},
        {"cover panorama", 4000, 1000, Box(800, 600, FitMode::Cover),
         {{1333, 0, 1333, 1000}, 800, 600, 800, 600, 0, 0}},
        {"width", 3200, 2401, Single(SizeForm::Width, 1600), {{0, 0, 3200, 2401}, 1600, 1201, 1600, 1201, 0, 0}},
        {"height of a wide line", 10000, 1, Single(SizeForm::Height, 600),
         {{0, 0, 10000, 1}, 6000000, 600, 6000000, 600, 0, 0, true}},
        {"height", 10000, 300, Single(SizeForm::Height, 30), {{0, 0, 10000, 300}, 1000, 30, 1000, 30, 0, 0}},
        {"height of a portrait", 2560, 3837, Single(SizeForm::Height, 1000),
         {{0, 0, 2560, 3837}, 667, 1000, 667, 1000, 0, 0}},
        {"percent halves up", 3, 3, Single(SizeForm::Percent, 50), {{0, 0, 3, 3}, 2, 2, 2, 2, 0, 0}},
        {"percent at least one", 10, 1000, Single(SizeForm::Percent, 1), {{0, 0, 10, 1000}, 1, 10, 1, 10, 0, 0}},
        {"percent beyond the side limit", 7000, 10, Single(SizeForm::Percent, 1000), {.tooLarge = true}},
        {"long edge of a portrait", 2560, 3837, Single(SizeForm::LongEdge, 1000),
         {{0, 0, 2560, 3837}, 667, 1000, 667, 1000, 0, 0}},
        {"long edge of a square", 7, 7, Single(SizeForm::LongEdge, 3), {{0, 0, 7, 7}, 3, 3, 3, 3, 0, 0}},
        {"shrink-only fits", 30, 20, Box(800, 600, FitMode::Pad, true), {{0, 0, 30, 20}, 30, 20, 30, 20, 0, 0}},
        {"shrink-only cover fits", 800, 20, Box(800, 600, FitMode::Cover, true),
         {{0, 0, 800, 20}, 800, 20, 800, 20, 0, 0}},
        {"shrink-only cover one side over", 801, 20, Box(800, 600, FitMode::Cover, true),
         {{387, 0, 27, 20}, 800, 600, 800, 600, 0, 0}},
        {"shrink-only width", 1000, 500, Single(SizeForm::Width, 1600, true),
         {{0, 0, 1000, 500}, 1000, 500, 1000, 500, 0, 0}},
        {"shrink-only percent", 9, 5, Single(SizeForm::Percent, 300, true), {{0, 0, 9, 5}, 9, 5, 9, 5, 0, 0}},
        {"box turned for a portrait", 40, 60, Box(90, 60, FitMode::Stretch, false, true),
         {{0, 0, 40, 60}, 60, 90, 60, 90, 0, 0}},
        {"box turned for a landscape", 60, 40, Box(60, 90, FitMode::Pad, false, true),
         {{0, 0, 60, 40}, 90, 60, 90, 60, 0, 0}},
        {"square keeps the box", 50, 50, Box(90, 60, FitMode::Stretch, false, true),
         {{0, 0, 50, 50}, 90, 60, 90, 60, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FittedSize expected = c.expected;
        if (expected.tooLarge) {
            expected = FittedSize{};
            expected.tooLarge = true;
        }
        EXPECT_EQ(FitSize(c.width, c.height, c.request), expected);
    }
}

TEST(FittedSize, OnlyStretchIntoABoxIgnoresThePicture)
{
    EXPECT_FALSE(SizeDependsOnPicture(Box(8, 6, FitMode::Stretch)));
    EXPECT_TRUE(SizeDependsOnPicture(Box(8, 6, FitMode::Stretch, true)));
    EXPECT_TRUE(SizeDependsOnPicture(Box(8, 6, FitMode::Stretch, false, true)));
    EXPECT_TRUE(SizeDependsOnPicture(Box(8, 6, FitMode::Contain)));
    EXPECT_TRUE(SizeDependsOnPicture(Single(SizeForm::Percent, 50)));
}

}  // namespace

}  // namespace picbatch
