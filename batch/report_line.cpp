// A report line as JSON, through nlohmann::json: no escaping is made by hand.
#include "batch/report_line.h"

#include <cmath>
#include <utility>

#include <nlohmann/json.hpp>

#include "batch/run_engine.h"

namespace picbatch {

namespace {

// Whether nlohmann's strict UTF-8 check takes text as it is: asked of the library itself, so
// that "valid" means what its replacing dump below leaves unchanged.
bool IsUtf8(const std::string& text)
{
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

// Each byte of bytes as the character of the same number, in UTF-8: a JSON string that gives
// the bytes back exactly.
std::string BytesAsCharacters(const std::string& bytes)
{
    std::string characters;
    characters.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            characters += c;
        } else {
            characters += static_cast<char>(0xC0 | (byte >> 6));
            characters += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return characters;
}

nlohmann::ordered_json Dimension(const std::optional<PixelSize>& size, int PixelSize::*side)
{
    return size ? nlohmann::ordered_json((*size).*side) : nlohmann::ordered_json();
}

nlohmann::ordered_json Optional(const std::optional<std::string>& text)
{
    return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json();
}

}  // namespace

std::string_view ReportStatusWord(ReportStatus status)
{
    switch (status) {
    case ReportStatus::Converted: return "converted";
    case ReportStatus::Failed: return "failed";
    case ReportStatus::Warning: return "warning";
    case ReportStatus::Skipped: return "skipped";
    case ReportStatus::UpToDate: return "up-to-date";
    }
    return "failed";
}

ReportLine ReportLineOf(const EntryOutcome& outcome)
{
    ReportLine line;
    line.source = outcome.entry;
    line.output = outcome.output;
    if (outcome.failure) {
        line.status = ReportStatus::Failed;
        line.cause = outcome.failure;
    } else if (outcome.upToDate) {
        line.status = ReportStatus::UpToDate;  // left as it was: nothing read, nothing written
    } else {
        line.status = outcome.warning ? ReportStatus::Warning : ReportStatus::Converted;
        line.cause = outcome.warning;
        line.outputSize = PixelSize{outcome.outputWidth, outcome.outputHeight};
    }
    if (outcome.sourceWidth > 0)
        line.sourceSize = PixelSize{outcome.sourceWidth, outcome.sourceHeight};
    line.bytesWritten = outcome.bytesWritten;
    line.milliseconds = outcome.milliseconds;
    return line;
}

ReportLine SkippedLine(std::string source, std::string cause)
{
    ReportLine line;
    line.source = std::move(source);
    line.status = ReportStatus::Skipped;
    line.cause = std::move(cause);
    return line;
}

std::string ReportLineText(const ReportLine& line)
{
    nlohmann::ordered_json object;
    object["source"] = line.source;
    object["output"] = Optional(line.output);
    object["status"] = ReportStatusWord(line.status);
    object["cause"] = Optional(line.cause);
    object["source_width"] = Dimension(line.sourceSize, &PixelSize::width);
    object["source_height"] = Dimension(line.sourceSize, &PixelSize::height);
    object["output_width"] = Dimension(line.outputSize, &PixelSize::width);
    object["output_height"] = Dimension(line.outputSize, &PixelSize::height);
    object["bytes_written"] = line.bytesWritten;
    // Microseconds are as fine as a conversion's time means anything.
    object["milliseconds"] = std::round(line.milliseconds * 1000) / 1000;
    // Almost every line is UTF-8 throughout: written at the first try, strictly.
    try {
        return object.dump() + "\n";
    } catch (const nlohmann::json::type_error&) {
    }
    if (!IsUtf8(line.source))
        object["source_bytes"] = BytesAsCharacters(line.source);
    if (line.output && !IsUtf8(*line.output))
        object["output_bytes"] = BytesAsCharacters(*line.output);
    // Invalid UTF-8 left (a cause quoting a path) becomes U+FFFD rather than an exception.
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace picbatch
