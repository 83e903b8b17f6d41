// Output name templates: which are refused, what each token gives, and the names of entries
// in subfolders.
#include <gtest/gtest.h>

#include "batch/entry_output.h"
#include "batch/entry_paths.h"
#include "batch/name_template.h"

namespace picbatch {
namespace {

TEST(NameTemplate, UsableTemplates)
{
    struct Case {
        const char* nameTemplate;
        bool usable;
    };
    const Case cases[] = {
        {"{NAME}", true}, {"{name}-{w}x{h}", true}, {"photo-{n}", true}, {"{{x}}", true}, {"cover", true},
        {".{name}", true}, {"..{n}", true},
        // Unknown tokens, unbalanced braces.
        {"{size}", false}, {"{NAME", false}, {"NAME}", false}, {"{}", false}, {"{{n}", false},
        // Names that cannot be files of a folder.
        {"", false}, {".", false}, {"..", false}, {"a/{name}", false}, {"{name}/", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsUsableNameTemplate(c.nameTemplate), c.usable) << c.nameTemplate;
    EXPECT_FALSE(IsUsableNameTemplate(std::string_view("a\0b", 3)));
}

TEST(NameTemplate, TokensExpand)
{
    struct Case {
        const char* nameTemplate;
        NameFields fields;
        const char* expected;
    };
    const Case cases[] = {
        {"{NAME}", {"Photo.é", 8, 6, 1, 1}, "PHOTO.é"},
        {"{name}", {"Photo", 8, 6, 1, 1}, "Photo"},
        {"{name}_{w}x{h}", {"a", 800, 600, 1, 1}, "a_800x600"},
        {"{n}", {"a", 1, 1, 7, 1200}, "0007"},
        {"{n}", {"a", 1, 1, 12, 12}, "12"},
        {"{n}", {"a", 1, 1, 1, 9}, "1"},
        {"{{{name}}}", {"a", 1, 1, 1, 1}, "{a}"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandNameTemplate(c.nameTemplate, c.fields), c.expected) << c.nameTemplate;
    EXPECT_EQ(ExpandNameTemplate("{bad}", {"a", 1, 1, 1, 1}), std::nullopt);
}

TEST(NameTemplate, OutputsOfEntries)
{
    struct Case {
        const char* entry;
        OutputMode mode;
        const char* nameTemplate;
        std::optional<std::string> expected;
    };
    const NameFields fields{{}, 80, 60, 3, 120};
    const Case cases[] = {
        // The default template is today's name: the stem upper-cased, the table's extension.
        {"photo.jpeg", OutputMode::KeepFormat, "{NAME}", "out/PHOTO.jpeg"},
        {"photo.JPG", OutputMode::Bmp, "{NAME}", "out/PHOTO.bmp"},
        // Only the file name is upper-cased, never its folders.
        {"2024/Summer/img.jpg", OutputMode::KeepFormat, "{NAME}", "out/2024/Summer/IMG.jpg"},
        {"2024/Summer/img.JPEG", OutputMode::KeepFormat, "{name}-{w}x{h}-{n}", "out/2024/Summer/img-80x60-003.jpeg"},
        {"a.b.png", OutputMode::Jpeg, "{name}", "out/a.b.jpg"},
        {"notes.txt", OutputMode::Jpeg, "{name}", std::nullopt},
    };
    for (const Case& c : cases) {
        const PlannedOutput output = EntryOutput("out", c.entry, c.mode, c.nameTemplate, fields);
        EXPECT_EQ(output.path, c.expected) << c.entry << " " << c.nameTemplate;
    }
    for (const char* entry : {"photo.jpeg", "x.bmp", "a/b.Png", "deep/er/c.WEBP"}) {
        for (const OutputMode mode : {OutputMode::KeepFormat, OutputMode::Jpeg, OutputMode::Bmp})
            EXPECT_EQ(EntryOutput("out", entry, mode, kDefaultNameTemplate, fields).path,
                      OutputFor(DestinationPathOf("out", entry), mode).path)
                << entry;
    }
}

}  // namespace
}  // namespace picbatch
