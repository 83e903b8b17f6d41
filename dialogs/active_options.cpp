// The texts of the options that differ from the defaults.
#include "dialogs/active_options.h"

#include <array>
#include <cstdio>

namespace picbatch {

namespace {

std::string BackgroundText(const Background& background)
{
    switch (background.kind) {
    case Background::Kind::Automatic:
        return {};
    case Background::Kind::Transparent:
        return "（透明）";
    case Background::Kind::Colour:
        break;
    }
    std::array<char, 8> colour{};
    std::snprintf(colour.data(), colour.size(), "#%02X%02X%02X", background.red, background.green, background.blue);
    return "（" + std::string(colour.data()) + "）";
}

}  // namespace

std::vector<std::string> ActiveOptionTexts(const ConversionOptions& options)
{
    const ConversionOptions defaults;
    std::vector<std::string> texts;
    if (options.orientation != defaults.orientation)
        texts.emplace_back("不按方向标记转正");
    if (options.metadata == MetadataChoice::Keep)
        texts.emplace_back("保留 EXIF 信息");
    else if (options.metadata == MetadataChoice::KeepWithoutGps)
        texts.emplace_back("保留 EXIF 信息，去掉拍摄位置");
    switch (options.fit) {
    case FitMode::Stretch:
        break;
    case FitMode::Contain:
        texts.emplace_back("保持比例，完整放入");
        break;
    case FitMode::Cover:
        texts.emplace_back("保持比例，裁去多余部分");
        break;
    case FitMode::Pad:
        texts.push_back("保持比例，空白处补色" + BackgroundText(options.background));
        break;
    }
    if (options.shrinkOnly)
        texts.emplace_back("只缩小，不放大");
    if (options.boxFollowsOrientation)
        texts.emplace_back("竖图自动交换宽高");
    if (options.quality != defaults.quality)
        texts.push_back("JPEG 质量 " + std::to_string(options.quality));
    if (options.progressive)
        texts.emplace_back("渐进式 JPEG");
    if (options.recursive)
        texts.emplace_back("包含子文件夹");
    if (options.nameTemplate != defaults.nameTemplate)
        texts.push_back("输出文件名 " + options.nameTemplate);
    if (options.skipUpToDate)
        texts.emplace_back("跳过已是最新的图片");
    return texts;
}

}  // namespace picbatch
