// The explanations of failures whose cause is known, and the warnings of conversions.
#include "batch/failure_text.h"

#include "batch/convert_picture.h"

namespace picbatch {

std::optional<std::string> WarningOf(const ConversionNotes& notes)
{
    // A file cut short is damaged too; what is missing says more.
    if (notes.incompleteSource)
        return std::string(kIncompleteSourceWarning);
    if (notes.damagedSource)
        return std::string(kDamagedSourceWarning);
    return std::nullopt;
}

std::string_view ExplanationOf(FailureCause cause)
{
    switch (cause) {
    case FailureCause::Unknown:
        return {};
    case FailureCause::FileNotFound:
        return "文件不存在，可能已被移动或删除";
    case FailureCause::FolderNotFound:
        return "目标文件夹不存在";
    case FailureCause::AccessDenied:
        return "没有访问权限";
    case FailureCause::DiskFull:
        return "磁盘已满";
    case FailureCause::ReadOnlyFileSystem:
        return "磁盘是只读的，不能写入";
    case FailureCause::EmptyFile:
        return "文件是空的";
    case FailureCause::CutBeforePicture:
        return "文件不完整，在图像数据之前就结束了";
    case FailureCause::TooLarge:
        return "图片太大，超出了处理上限";
    case FailureCause::OutOfMemory:
        return "内存不足";
    case FailureCause::TooLargeForMemory:
        return "图片太大，解码所需的内存超出了上限";
    // Which format, and which of its kinds: only the format that raised the error can say.
    case FailureCause::NotAPicture:
    case FailureCause::Unsupported:
        return {};
    case FailureCause::Internal:
        return "程序内部出现意外错误，这张图片未转换";
    case FailureCause::Animated:
        return "不支持动画图片，只能转换静态图片";
    case FailureCause::Damaged:
        return "文件已损坏，校验和不符";
    }
    return {};
}

std::string ExplainedFailure(const std::string& message, FailureCause cause, std::string_view ownExplanation)
{
    const std::string_view explanation = ownExplanation.empty() ? ExplanationOf(cause) : ownExplanation;
    if (explanation.empty())
        return message;
    return message + "（" + std::string(explanation) + "）";
}

}  // namespace picbatch
