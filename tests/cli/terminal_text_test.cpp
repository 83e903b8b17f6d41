// Names printed by picbatch-cli: whatever bytes a file name holds, the terminal sees only text.
#include "cli/terminal_text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/batch/picture_files.h"
#include "tests/cli/run_cli.h"

namespace picbatch {
namespace {

TEST(TerminalText, EscapesWhatATerminalWouldActOn)
{
    const struct {
        const char* name;
        std::string text;
        std::string printed;
    } cases[] = {
        {"plain", "photo.jpg", "photo.jpg"},
        {"Chinese", "照片.jpg", "照片.jpg"},
        {"escape sequence", "a\x1b[31mred.jpg", "a\\x1B[31mred.jpg"},
        {"title sequence", "\x1b]0;owned\x07.jpg", "\\x1B]0;owned\\x07.jpg"},
        {"forged line", "a.jpg\n7/7 b.jpg", "a.jpg\\n7/7 b.jpg"},
        {"carriage return and tab", "a\rb\tc", "a\\rb\\tc"},
        {"DEL", "a\x7f", "a\\x7F"},
        {"C1 control (CSI)", "a\xc2\x9b" "31m", "a\\xC2\\x9B31m"},
        {"no-break space stays", "a\xc2\xa0" "b", "a\xc2\xa0" "b"},
        {"right-to-left override", "a\xe2\x80\xae" "gpj.exe", "a\\xE2\\x80\\xAEgpj.exe"},
        {"isolate and zero-width space", "\xe2\x81\xa6" "a\xe2\x80\x8b", "\\xE2\\x81\\xA6a\\xE2\\x80\\x8B"},
        {"byte order mark", "\xef\xbb\xbf" "a", "\\xEF\\xBB\\xBFa"},
        {"a tag character", "\xf3\xa0\x80\x81", "\\xF3\\xA0\\x80\\x81"},
        {"letters beside them stay", "\xe2\x80\x90\xe2\x82\xac", "\xe2\x80\x90\xe2\x82\xac"},
        {"invalid byte", "a\xff.jpg", "a\\xFF.jpg"},
        {"overlong slash", "\xc0\xaf", "\\xC0\\xAF"},
        {"cut sequence", "\xe7\x85", "\\xE7\\x85"},
        {"encoded surrogate", "\xed\xa0\x80", "\\xED\\xA0\\x80"},
        {"a name that reads like an escape", "a\\x1B.jpg", "a\\\\x1B.jpg"},
        {"other backslashes stay", "a\\b.jpg", "a\\b.jpg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TerminalText(c.text), c.printed) << c.name;
}

class CliOutput : public ::testing::Test {
protected:
    TempFolder source;
    TempFolder out;
};

TEST_F(CliOutput, NamesAreNeverPrintedRaw)
{
    WriteBmpFile(source / "a\x1b[31m.bmp", TestPicture(6, 4, 1, 2, 3));
    WriteBytes(source / "b\n9 of 9 forged.jpg", {'n', 'o'});
    const Result result = RunCli({"--size", "3x2", source.Path(), out.Path()});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_EQ(result.output.find('\x1b'), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("\n9 of 9 forged"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("a\\x1B[31m.bmp"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("b\\n9 of 9 forged.jpg: 失败 / failed: "), std::string::npos) << result.output;
    EXPECT_TRUE(std::filesystem::exists(out / "A\x1b[31M.bmp"));  // the file itself keeps its name
}

// A reader that closes its end early (… | head -c 1) ends neither the run nor its exit status.
TEST_F(CliOutput, AClosedPipeDoesNotStopTheRun)
{
    for (int i = 0; i < 40; ++i)
        WriteBmpFile(source / ("p" + std::to_string(100 + i) + ".bmp"), TestPicture(16, 12, 1, 2, 3));
    const std::string command = Quoted(PICBATCH_CLI_PATH) + " --size 8x6 --jobs 1 " + Quoted(source.Path()) + " "
        + Quoted(out.Path()) + " 2>&1 | head -c 1 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(FolderNames(out.Path()).size(), 40u);
}

// The summary's standard output: a full disk fails the run, a reader gone does not.
TEST_F(CliOutput, ASummaryThatCannotBeWrittenFailsTheRun)
{
    WriteBmpFile(source / "a.bmp", TestPicture(16, 12, 1, 2, 3));
    const std::string run = Quoted(PICBATCH_CLI_PATH) + " --size 8x6 " + Quoted(source.Path()) + " " + Quoted(out.Path());
    const int full = std::system((run + " >/dev/full 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(full), 1);
    // The program's own status, not the pipe's reader's.
    const TempFolder statusFolder;
    const std::string statusFile = statusFolder / "status";
    ASSERT_EQ(std::system(("{ " + run + " 2>/dev/null; echo $? >" + Quoted(statusFile) + "; } | true").c_str()), 0);
    const std::vector<std::uint8_t> status = ReadBytes(statusFile);
    EXPECT_EQ(std::string(status.begin(), status.end()), "0\n");
}

}  // namespace
}  // namespace picbatch
