// Parsing picbatch-cli's arguments.
#include "cli/options.h"

#include <algorithm>
#include <optional>

#include "batch/size_check.h"

namespace picbatch {

namespace {

// More threads than this only cost memory: each holds a decoded picture.
constexpr int kMaxJobs = 256;

OutputMode ParseFormat(const std::string& text)
{
    if (text == "keep")
        return OutputMode::KeepFormat;
    if (text == "jpeg" || text == "jpg")
        return OutputMode::Jpeg;
    if (text == "bmp")
        return OutputMode::Bmp;
    throw UsageError("--format: 应为 keep、jpeg 或 bmp / expected keep, jpeg or bmp, not '" + text + "'");
}

int ParseJobs(const std::string& text)
{
    int jobs = 0;
    try {
        jobs = ParseInteger(text);
    } catch (const Error& error) {
        throw UsageError(std::string("--jobs: ") + error.what());
    }
    if (jobs < 1 || jobs > kMaxJobs)
        throw UsageError("--jobs: 应为 1 到 " + std::to_string(kMaxJobs) + " / expected 1 to "
                         + std::to_string(kMaxJobs));
    return jobs;
}

}  // namespace

std::string UsageText()
{
    return "用法 / Usage: picbatch-cli --size WxH [--format keep|jpeg|bmp] [--jobs N] SOURCE DEST\n"
           "\n"
           "将 SOURCE 文件夹中的每个 BMP 和 JPEG 图片缩放到 W×H 像素（不保持宽高比），\n"
           "以大写主文件名写入 DEST 文件夹。\n"
           "Resizes every BMP and JPEG picture of folder SOURCE to exactly W x H pixels (the aspect\n"
           "ratio is not kept) and writes it into folder DEST under its name with an upper-case stem.\n"
           "\n"
           "  --size WxH      目标尺寸，也可写作 \"778 * 502\" / target size, also as \"778 * 502\"\n"
           "  --format F      keep：保留原格式（默认）；jpeg：JPEG（质量 90）；bmp：24 位 BMP\n"
           "                  keep: each picture's own format (default); jpeg: JPEG (quality 90);\n"
           "                  bmp: 24-bit BMP\n"
           "  --jobs N        同时处理的图片数，默认为处理器核数 / pictures converted at once,\n"
           "                  by default the number of processor cores\n"
           "  -h, --help      显示本说明 / show this text\n"
           "\n"
           "退出码 / Exit status: 0 全部成功 / all converted; 1 有图片失败 / some failed;\n"
           "2 用法错误 / bad usage; 130、143 被 SIGINT、SIGTERM 中断 / stopped by SIGINT, SIGTERM\n";
}

SizeTexts SplitCliSize(const std::string& text)
{
    if (text.find('*') != std::string::npos || text.find("＊") != std::string::npos)
        return SplitSizeText(text);
    // "800x600" and "800×600": the separator is not part of the size text's own rule.
    std::string normalized = text;
    const std::string times = "×";
    if (auto at = normalized.find(times); at != std::string::npos)
        normalized.replace(at, times.size(), "*");
    else if (auto x = normalized.find_first_of("xX"); x != std::string::npos)
        normalized[x] = '*';
    return SplitSizeText(normalized);
}

CliOptions ParseCliOptions(const std::vector<std::string>& args, int defaultJobs)
{
    CliOptions options;
    std::optional<std::string> sizeText;
    std::optional<std::string> formatText;
    std::optional<std::string> jobsText;
    std::vector<std::string> folders;

    for (const std::string& arg : args)
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            return options;
        }

    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            folders.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (auto equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        std::optional<std::string>* target = name == "--size"     ? &sizeText
                                             : name == "--format" ? &formatText
                                             : name == "--jobs"   ? &jobsText
                                                                  : nullptr;
        if (!target)
            throw UsageError("未知选项 / unknown option: " + arg);
        if (*target)
            throw UsageError("选项重复 / option given twice: " + name);
        if (!value) {
            if (i + 1 == args.size())
                throw UsageError("缺少选项的值 / missing value: " + name);
            value = args[++i];
        }
        *target = *value;
    }

    if (!sizeText)
        throw UsageError("缺少 --size / missing --size");
    try {
        options.size = CheckedTargetSize(SplitCliSize(*sizeText));
    } catch (const Error& error) {
        throw UsageError(std::string("--size: ") + error.what());
    }
    if (formatText)
        options.mode = ParseFormat(*formatText);
    options.jobs = jobsText ? ParseJobs(*jobsText) : std::max(1, std::min(defaultJobs, kMaxJobs));
    if (folders.size() != 2)
        throw UsageError("需要源文件夹和目标文件夹 / expected SOURCE and DEST folders");
    if (folders[0].empty() || folders[1].empty())
        throw UsageError("文件夹不能为空 / a folder cannot be empty");
    options.source = folders[0];
    options.destination = folders[1];
    return options;
}

}  // namespace picbatch
