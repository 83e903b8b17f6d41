// Parsing picbatch-cli's arguments.
#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "batch/size_check.h"
#include "pictures/picture_format.h"

namespace picbatch {

namespace {

// More threads than this only cost memory: each holds a decoded picture.
constexpr int kMaxJobs = 256;
// The largest memory budget taken: far beyond any machine, and a sum of estimates under it
// cannot overflow.
constexpr std::int64_t kMaxMemoryBudget = std::int64_t{1} << 62;

// The power of two a size suffix stands for; -1 for none known.
int SuffixShift(char suffix)
{
    switch (suffix) {
    case 'k': case 'K': return 10;
    case 'm': case 'M': return 20;
    case 'g': case 'G': return 30;
    case 't': case 'T': return 40;
    default: return -1;
    }
}

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

OrientationChoice ParseOrientation(const std::string& text)
{
    if (text == "apply")
        return OrientationChoice::Apply;
    if (text == "keep")
        return OrientationChoice::Keep;
    throw UsageError("--orientation: 应为 apply 或 keep / expected apply or keep, not '" + text + "'");
}

MetadataChoice ParseMetadata(const std::string& text)
{
    if (text == "drop")
        return MetadataChoice::Drop;
    if (text == "keep")
        return MetadataChoice::Keep;
    if (text == "keep-no-gps")
        return MetadataChoice::KeepWithoutGps;
    throw UsageError("--metadata: 应为 drop、keep 或 keep-no-gps / expected drop, keep or keep-no-gps, not '" + text
                     + "'");
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

std::int64_t ParseMemorySize(const std::string& text)
{
    const UsageError bad("--memory-budget: 应为大小，例如 512M 或 2G / expected a size such as 512M or 2G, not '"
                         + text + "'");
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits == 0 || text.size() - digits > 1)
        throw bad;
    const int shift = digits < text.size() ? SuffixShift(text[digits]) : 0;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + digits, value);
    if (shift < 0 || error != std::errc() || value == 0 || value > kMaxMemoryBudget >> shift)
        throw bad;
    return value << shift;
}

std::string UsageText()
{
    return "用法 / Usage: picbatch-cli --size WxH [--format keep|jpeg|bmp] [--jobs N] [--memory-budget SIZE]\n"
           "                    [--orientation apply|keep] [--metadata drop|keep|keep-no-gps]\n"
           "                    [--report FILE] [--verbose] SOURCE DEST\n"
           "\n"
           "将 SOURCE 文件夹中的每个 " + FormatNameList("、", " 和 ") + " 图片缩放到 W×H 像素（不保持宽高比），\n"
           "以大写主文件名写入 DEST 文件夹。\n"
           "Resizes every " + FormatNameList(", ", " and ") + " picture of folder SOURCE to exactly W x H pixels\n"
           "(the aspect ratio is not kept) and writes it into folder DEST under its name with an\n"
           "upper-case stem.\n"
           "\n"
           "  --size WxH      目标尺寸，也可写作 \"778 * 502\" / target size, also as \"778 * 502\"\n"
           "  --format F      keep：保留原格式（默认，含 PNG、WebP）；jpeg：JPEG（质量 90）；\n"
           "                  bmp：24 位 BMP（透明部分铺白色）\n"
           "                  keep: each picture's own format (default, PNG and WebP too);\n"
           "                  jpeg: JPEG (quality 90); bmp: 24-bit BMP (transparency over white)\n"
           "  --jobs N        同时处理的图片数，默认为处理器核数 / pictures converted at once,\n"
           "                  by default the number of processor cores\n"
           "  --memory-budget SIZE\n"
           "                  同时处理的图片按估计最多共用的内存，如 512M、2G；默认为物理内存的一半\n"
           "                  与 cgroup 内存上限的四分之三中较小者；超出的单张图片单独处理\n"
           "                  / memory the pictures converted at once may take together by their\n"
           "                  estimates, e.g. 512M, 2G; by default the smaller of half the physical\n"
           "                  memory and three quarters of the cgroup's limit; a larger picture\n"
           "                  is converted alone\n"
           "  --orientation O apply：按 EXIF 方向标记先将图片转正，W×H 为转正后的尺寸（默认）；\n"
           "                  keep：按存储的方向处理 / apply: turn a picture upright by its EXIF\n"
           "                  orientation first, W x H being the upright size (default); keep: as stored\n"
           "  --metadata M    drop：不保留 EXIF（默认）；keep：JPEG 输出保留 EXIF（方向为 1，\n"
           "                  无缩略图，尺寸为新尺寸）；keep-no-gps：同 keep，但去掉位置信息\n"
           "                  drop: no EXIF (default); keep: a JPEG output keeps the EXIF (orientation\n"
           "                  1, no thumbnail, the new size); keep-no-gps: the same without the location\n"
           "  --report FILE   将每个条目的结果按处理完成的顺序写入 FILE，每行一个 JSON 对象\n"
           "                  （JSON Lines）/ write what became of each entry to FILE as it is\n"
           "                  done, one JSON object a line (JSON Lines)\n"
           "  --verbose       列出因不是可转换图片而跳过的图片名 / list the picture names skipped\n"
           "                  because they are no convertible pictures\n"
           "  -h, --help      显示本说明 / show this text\n"
           "\n"
           "退出码 / Exit status: 0 全部成功 / all converted; 1 有图片失败或报告不完整 / some failed\n"
           "or the report is incomplete;\n"
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
    std::optional<std::string> budgetText;
    std::optional<std::string> orientationText;
    std::optional<std::string> metadataText;
    std::optional<std::string> reportText;
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
        if (name == "--verbose") {
            if (value)
                throw UsageError("选项不带值 / option takes no value: " + name);
            if (options.verbose)
                throw UsageError("选项重复 / option given twice: " + name);
            options.verbose = true;
            continue;
        }
        std::optional<std::string>* target = name == "--size"            ? &sizeText
                                             : name == "--format"        ? &formatText
                                             : name == "--jobs"          ? &jobsText
                                             : name == "--memory-budget" ? &budgetText
                                             : name == "--orientation"   ? &orientationText
                                             : name == "--metadata"      ? &metadataText
                                             : name == "--report"        ? &reportText
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
        const TargetSize size = CheckedTargetSize(SplitCliSize(*sizeText));
        options.request.width = size.width;
        options.request.height = size.height;
    } catch (const Error& error) {
        throw UsageError(std::string("--size: ") + error.what());
    }
    if (formatText)
        options.request.mode = ParseFormat(*formatText);
    if (orientationText)
        options.request.options.orientation = ParseOrientation(*orientationText);
    if (metadataText)
        options.request.options.metadata = ParseMetadata(*metadataText);
    options.jobs = jobsText ? ParseJobs(*jobsText) : std::max(1, std::min(defaultJobs, kMaxJobs));
    if (budgetText)
        options.memoryBudget = ParseMemorySize(*budgetText);
    if (reportText && reportText->empty())
        throw UsageError("--report: 缺少文件名 / missing file name");
    options.report = reportText;
    if (folders.size() != 2)
        throw UsageError("需要源文件夹和目标文件夹 / expected SOURCE and DEST folders");
    if (folders[0].empty() || folders[1].empty())
        throw UsageError("文件夹不能为空 / a folder cannot be empty");
    options.source = folders[0];
    options.destination = folders[1];
    return options;
}

}  // namespace picbatch
