// Parsing picbatch-cli's arguments.
#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "batch/name_template.h"
#include "batch/size_check.h"
#include "batch/target_size.h"
#include "imaging/limits.h"
#include "pictures/picture_format.h"

namespace picbatch {

namespace {

// More threads than this only cost memory: each holds a decoded picture.
constexpr int kMaxJobs = 256;
// The largest memory budget taken: far beyond any machine, and a sum of estimates under it
// cannot overflow.
constexpr std::int64_t kMaxMemoryBudget = std::int64_t{1} << 62;
// The percentages --size N% takes: a tenfold enlargement at most.
constexpr int kMinPercent = 1;
constexpr int kMaxPercent = 1000;

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

FitMode ParseFit(const std::string& text)
{
    if (text == "stretch")
        return FitMode::Stretch;
    if (text == "contain")
        return FitMode::Contain;
    if (text == "cover")
        return FitMode::Cover;
    if (text == "pad")
        return FitMode::Pad;
    throw UsageError("--fit: 应为 stretch、contain、cover 或 pad / expected stretch, contain, cover or pad, not '" + text
                     + "'");
}

Background ParseBackground(const std::string& text)
{
    Background background;
    if (text == "transparent") {
        background.kind = Background::Kind::Transparent;
        return background;
    }
    const auto channel = [&](std::size_t at) {
        const int high = HexDigitValue(text[at]);
        const int low = HexDigitValue(text[at + 1]);
        if (high < 0 || low < 0)
            return -1;
        return high * 16 + low;
    };
    const int red = text.size() == 7 && text[0] == '#' ? channel(1) : -1;
    const int green = red >= 0 ? channel(3) : -1;
    const int blue = green >= 0 ? channel(5) : -1;
    if (blue < 0)
        throw UsageError("--background: 应为 #rrggbb（十六进制）或 transparent / expected #rrggbb (hexadecimal) or "
                         "transparent, not '" + text + "'");
    background.kind = Background::Kind::Colour;
    background.red = static_cast<std::uint8_t>(red);
    background.green = static_cast<std::uint8_t>(green);
    background.blue = static_cast<std::uint8_t>(blue);
    return background;
}

// A whole number of decimal digits only from low to high, or nothing.
std::optional<int> DecimalIn(const std::string& text, int low, int high)
{
    int value = 0;
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The size of --size: WxH (with the size text's other spellings), Wx, xH or N%.
void ParseSize(const std::string& text, ConversionRequest& request)
{
    const std::string side = std::to_string(kMaxPictureSide);
    const std::string trimmed = Trimmed(text);
    if (trimmed.ends_with('%')) {
        const std::optional<int> percent =
            DecimalIn(Trimmed(trimmed.substr(0, trimmed.size() - 1)), kMinPercent, kMaxPercent);
        if (!percent)
            throw UsageError("--size: 百分比应为 1% 到 1000% 的整数 / expected a whole percentage from 1% to 1000%, not '"
                             + text + "'");
        request.form = SizeForm::Percent;
        request.percent = *percent;
        return;
    }
    if (trimmed.find_first_of("xX*") == std::string::npos && trimmed.find("×") == std::string::npos
        && trimmed.find("＊") == std::string::npos)
        throw UsageError("--size: 应为 WxH、Wx、xH 或 N% / expected WxH, Wx, xH or N%, not '" + text + "'");
    const SizeTexts texts = SplitCliSize(text);
    try {
        if (texts.width.empty() != texts.height.empty()) {
            // One side given: the other follows the picture's proportions.
            const bool width = texts.height.empty();
            const int value = ParseInteger(width ? texts.width : texts.height);
            if (value < 1 || value > kMaxPictureSide)
                throw UsageError(std::string(width ? "--size: 宽度应为 1 到 " : "--size: 高度应为 1 到 ") + side
                                 + (width ? " / expected a width of 1 to " : " / expected a height of 1 to ") + side);
            request.form = width ? SizeForm::Width : SizeForm::Height;
            (width ? request.width : request.height) = value;
            return;
        }
        if (texts.width.empty())
            throw UsageError("--size: 应为 WxH、Wx、xH 或 N% / expected WxH, Wx, xH or N%, not '" + text + "'");
        // Height first, as the window converts them, so that the first bad text is named.
        if (ParseInteger(texts.height) < 1 || ParseInteger(texts.width) < 1)
            throw UsageError("--size: 图片的宽度和高度至少为 1 像素 / width and height must be at least 1");
        const TargetSize size = CheckedTargetSize(texts);
        request.width = size.width;
        request.height = size.height;
    } catch (const UsageError&) {
        throw;
    } catch (const Error& error) {
        throw UsageError(std::string("--size: ") + error.what());
    }
}

int ParseLongEdge(const std::string& text)
{
    const std::optional<int> value = DecimalIn(Trimmed(text), 1, static_cast<int>(kMaxPictureSide));
    if (!value)
        throw UsageError("--long-edge: 应为 1 到 " + std::to_string(kMaxPictureSide) + " 的整数 / expected a whole number "
                         "from 1 to " + std::to_string(kMaxPictureSide) + ", not '" + text + "'");
    return *value;
}

int ParseQuality(const std::string& text)
{
    const std::optional<int> quality = DecimalIn(text, 1, 100);
    if (!quality)
        throw UsageError("--quality: 应为 1 到 100 的整数 / expected a whole number from 1 to 100, not '" + text + "'");
    return *quality;
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
           "                    [--fit stretch|contain|cover|pad] [--background COLOUR] [--shrink-only]\n"
           "                    [--box-follows-orientation]\n"
           "                    [--quality N] [--progressive]\n"
           "                    [--recursive] [--name TEMPLATE] [--skip-up-to-date]\n"
           "                    [--files-from FILE [--null]] [--shard K/N]\n"
           "                    [--report FILE] [--verbose] SOURCE DEST\n"
           "       picbatch-cli --size Wx|xH|N% | --long-edge N [--shrink-only] [...] SOURCE DEST\n"
           "\n"
           "将 SOURCE 文件夹中的每个 " + FormatNameList("、", " 和 ") + " 图片缩放到 W×H 像素（不保持宽高比），\n"
           "以大写主文件名写入 DEST 文件夹。--fit、单边、百分比或 --long-edge 保持宽高比。\n"
           "Resizes every " + FormatNameList(", ", " and ") + " picture of folder SOURCE to exactly W x H pixels\n"
           "(the aspect ratio is not kept) and writes it into folder DEST under its name with an\n"
           "upper-case stem. --fit, one side, a percentage or --long-edge keep the proportions.\n"
           "\n"
           "  --size WxH      目标尺寸，也可写作 \"778 * 502\" / target size, also as \"778 * 502\"\n"
           "  --size Wx, --size xH\n"
           "                  只给宽度或高度，另一边按比例 / the width or the height, the other side\n"
           "                  in proportion\n"
           "  --size N%       两边都按百分比（1% 到 1000%） / both sides at N percent (1% to 1000%)\n"
           "  --long-edge N   长边为 N 像素，另一边按比例 / the longer side N pixels, the other in proportion\n"
           "  --fit F         图片如何放入 WxH（只用于 --size WxH）/ how the picture goes into W x H\n"
           "                  (--size WxH only): stretch：拉伸到指定尺寸（默认）/ resized to it exactly\n"
           "                  (default); contain：保持比例，完整放入 / the largest size inside it with\n"
           "                  the picture's proportions; cover：保持比例，裁去多余部分 / fills it, the\n"
           "                  centred part that sticks out cut away; pad：同 contain，空白处补色 / contain,\n"
           "                  centred on a W x H canvas\n"
           "  --background C  pad 的底色：#rrggbb 或 transparent（PNG、WebP 输出）；默认白色，\n"
           "                  保留透明的输出为透明 / pad's canvas: #rrggbb or transparent (PNG and WebP\n"
           "                  outputs); by default white, transparent where the output keeps alpha\n"
           "  --shrink-only   只缩小，不放大：已能放入目标尺寸的图片保持原尺寸 / never enlarge: a picture\n"
           "                  that fits already keeps its own size\n"
           "  --box-follows-orientation\n"
           "                  竖图自动交换宽高（横图配竖的尺寸亦然）/ a portrait picture takes the box\n"
           "                  turned (and a landscape one a portrait box)\n"
                      "  --format F      keep：保留原格式（默认，含 PNG、WebP）；jpeg：JPEG（质量见 --quality）；\n"
           "                  bmp：24 位 BMP（透明部分铺白色）\n"
           "                  keep: each picture's own format (default, PNG and WebP too);\n"
           "                  jpeg: JPEG (quality: --quality); bmp: 24-bit BMP (transparency over white)\n"
           "  --jobs N        同时处理的图片数，默认为处理器核数 / pictures converted at once,\n"
           "                  by default the number of processor cores\n"
           "  --memory-budget SIZE\n"
           "                  同时处理的图片按估计最多共用的内存，如 512M、2G；默认为物理内存的一半\n"
           "                  与进程内存上限（cgroup、rlimit）的四分之三中较小者；超出的单张图片\n"
           "                  单独处理 / memory the pictures converted at once may take together by\n"
           "                  their estimates, e.g. 512M, 2G; by default the smaller of half the\n"
           "                  physical memory and three quarters of the process's limit (cgroup,\n"
           "                  rlimit); a larger picture is converted alone\n"
           "  --orientation O apply：按 EXIF 方向标记先将图片转正，W×H 为转正后的尺寸（默认）；\n"
           "                  keep：按存储的方向处理 / apply: turn a picture upright by its EXIF\n"
           "                  orientation first, W x H being the upright size (default); keep: as stored\n"
           "  --metadata M    drop：不保留 EXIF（默认）；keep：JPEG 输出保留 EXIF（方向为 1，\n"
           "                  无缩略图，尺寸为新尺寸）；keep-no-gps：同 keep，但去掉位置信息\n"
           "                  drop: no EXIF (default); keep: a JPEG output keeps the EXIF (orientation\n"
           "                  1, no thumbnail, the new size); keep-no-gps: the same without the location\n"
           "  --quality N     JPEG 和有损 WebP 输出的质量，1 到 100，默认 90 / the quality of JPEG\n"
           "                  and lossy WebP outputs, 1 to 100, default 90\n"
           "  --progressive   JPEG 输出为渐进式（文件较小，解码后像素相同）/ write progressive JPEG\n"
           "                  (smaller files, the same pixels when decoded)\n"
           "  --recursive     也处理子文件夹中的图片，在 DEST 中建立相同的子文件夹；不跟随指向文件夹的\n"
           "                  链接 / the pictures of subfolders too, written into the same subfolders\n"
           "                  under DEST; links to folders are not followed\n"
           "  --name TEMPLATE 输出文件名：{NAME} 大写主文件名（默认）、{name} 原主文件名、{w} {h} 输出尺寸、\n"
           "                  {n} 序号、{{ }} 花括号；扩展名由输出格式决定 / output names: {NAME} the\n"
           "                  upper-cased stem (default), {name} the stem, {w} {h} the output size,\n"
           "                  {n} the position, {{ }} braces; the extension is the output format's\n"
           "  --skip-up-to-date\n"
           "                  跳过输出文件比源文件新的图片 / skip pictures whose output is newer\n"
           "                  than their source\n"
           "  --files-from FILE\n"
           "                  只处理 FILE 中列出的文件（每行一个，- 为标准输入），相对路径相对于\n"
           "                  SOURCE / only the files listed in FILE (one a line, - for standard\n"
           "                  input), relative paths relative to SOURCE\n"
           "  --null          FILE 中的路径以 NUL 字节分隔 / the paths in FILE end in NUL bytes\n"
           "  --shard K/N     只处理第 K 份（共 N 份，按相对路径的 FNV-1a 散列分配）/ only share K\n"
           "                  of N (by the FNV-1a hash of each relative path)\n"
           "  --report FILE   将每个条目的结果按处理完成的顺序写入 FILE，每行一个 JSON 对象\n"
           "                  （JSON Lines）/ write what became of each entry to FILE as it is\n"
           "                  done, one JSON object a line (JSON Lines)\n"
           "  --verbose       列出因不是可转换图片而跳过的图片名 / list the picture names skipped\n"
           "                  because they are no convertible pictures\n"
           "  -h, --help      显示本说明 / show this text\n"
           "\n"
           "退出码 / Exit status: 0 全部成功 / all converted; 1 有图片失败、报告或汇总不完整 / some\n"
           "failed, or the report or summary is incomplete;\n"
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
        normalized = text.substr(0, at) + "*" + text.substr(at + times.size());
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
    std::optional<std::string> fitText;
    std::optional<std::string> backgroundText;
    std::optional<std::string> longEdgeText;
    std::optional<std::string> qualityText;
    std::optional<std::string> nameText;
    std::optional<std::string> shardText;
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
        bool* flag = name == "--verbose"                   ? &options.verbose
                     : name == "--shrink-only"             ? &options.request.options.shrinkOnly
                     : name == "--box-follows-orientation" ? &options.request.options.boxFollowsOrientation
                     : name == "--progressive"             ? &options.request.options.progressive
                     : name == "--recursive"               ? &options.request.options.recursive
                     : name == "--skip-up-to-date"         ? &options.request.options.skipUpToDate
                     : name == "--null"                    ? &options.nullSeparated
                                                           : nullptr;
        if (flag) {
            if (value)
                throw UsageError("选项不带值 / option takes no value: " + name);
            if (*flag)
                throw UsageError("选项重复 / option given twice: " + name);
            *flag = true;
            continue;
        }
        std::optional<std::string>* target = name == "--size"            ? &sizeText
                                             : name == "--format"        ? &formatText
                                             : name == "--jobs"          ? &jobsText
                                             : name == "--memory-budget" ? &budgetText
                                             : name == "--orientation"   ? &orientationText
                                             : name == "--metadata"      ? &metadataText
                                             : name == "--fit"           ? &fitText
                                             : name == "--background"    ? &backgroundText
                                             : name == "--long-edge"     ? &longEdgeText
                                             : name == "--quality"       ? &qualityText
                                             : name == "--name"          ? &nameText
                                             : name == "--files-from"    ? &options.filesFrom
                                             : name == "--shard"         ? &shardText
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

    if (sizeText && longEdgeText)
        throw UsageError("--long-edge: 不能与 --size 同时使用 / cannot be given with --size");
    if (longEdgeText) {
        options.request.form = SizeForm::LongEdge;
        options.request.longEdge = ParseLongEdge(*longEdgeText);
    } else if (sizeText) {
        ParseSize(*sizeText, options.request);
    } else {
        throw UsageError("缺少 --size / missing --size");
    }
    if (fitText) {
        options.request.options.fit = ParseFit(*fitText);
        if (options.request.form != SizeForm::Box)
            throw UsageError("--fit: 只用于 --size WxH，不用于单边、百分比或 --long-edge / applies to --size WxH only, "
                             "not to one side, a percentage or --long-edge");
    }
    if (backgroundText)
        options.request.options.background = ParseBackground(*backgroundText);
    if (formatText)
        options.request.mode = ParseFormat(*formatText);
    if (orientationText)
        options.request.options.orientation = ParseOrientation(*orientationText);
    if (metadataText)
        options.request.options.metadata = ParseMetadata(*metadataText);
    if (qualityText)
        options.request.options.quality = ParseQuality(*qualityText);
    options.jobs = jobsText ? ParseJobs(*jobsText) : std::max(1, std::min(defaultJobs, kMaxJobs));
    if (budgetText)
        options.memoryBudget = ParseMemorySize(*budgetText);
    if (nameText) {
        if (!IsUsableNameTemplate(*nameText))
            throw UsageError("--name: 无法使用的文件名模板 / unusable name template: '" + *nameText + "'");
        options.request.options.nameTemplate = *nameText;
    }
    if (shardText) {
        options.shard = ParseShard(*shardText);
        if (!options.shard)
            throw UsageError("--shard: 应为 K/N，1 ≤ K ≤ N / expected K/N with 1 <= K <= N, not '" + *shardText + "'");
    }
    if (options.nullSeparated && !options.filesFrom)
        throw UsageError("--null 需要 --files-from / --null needs --files-from");
    if (options.filesFrom && options.request.options.recursive)
        throw UsageError("--files-from 与 --recursive 不能同时使用 / --files-from and --recursive exclude each other");
    if (options.filesFrom && options.filesFrom->empty())
        throw UsageError("--files-from: 缺少文件名 / missing file name");
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
