// Progress lines and the terminal progress bar.
#include "cli/progress_printer.h"

#include "cli/terminal_text.h"

#include <cstdint>

namespace picbatch {

namespace {

constexpr int kBarWidth = 30;
// Carriage return, then "erase to the end of the line" so a shorter line leaves no rest.
constexpr const char* kClearLine = "\r\x1b[K";

}  // namespace

ProgressPrinter::ProgressPrinter(std::FILE* out, bool terminal, int total)
    : m_out(out), m_terminal(terminal), m_total(total)
{
}

void ProgressPrinter::Done(const std::string& entry, const std::string* failure, const std::string* warning)
{
    ++m_done;
    // A failure's or a warning's line: "<entry>: 失败 / failed: <text>".
    // Names and the texts that quote them are printed escaped: a terminal must not act on them.
    const char* label = failure ? "失败 / failed" : "警告 / warning";
    const std::string name = TerminalText(entry);
    const std::string text = failure ? TerminalText(*failure) : warning ? TerminalText(*warning) : std::string();
    const bool noted = failure || warning;
    if (m_terminal) {
        if (noted)
            std::fprintf(m_out, "%s%s: %s: %s\n", kClearLine, name.c_str(), label, text.c_str());
        DrawBar();
    } else if (noted) {
        std::fprintf(m_out, "%d/%d %s: %s: %s\n", m_done, m_total, name.c_str(), label, text.c_str());
    } else {
        std::fprintf(m_out, "%d/%d %s\n", m_done, m_total, name.c_str());
    }
    std::fflush(m_out);
}

void ProgressPrinter::UpToDate(const std::string& entry)
{
    ++m_done;
    if (m_terminal)
        DrawBar();
    else
        std::fprintf(m_out, "%d/%d %s: 已是最新 / up to date\n", m_done, m_total, TerminalText(entry).c_str());
    std::fflush(m_out);
}

void ProgressPrinter::Note(const std::string& line)
{
    if (m_terminal && m_barShown) {
        std::fprintf(m_out, "%s%s", kClearLine, line.c_str());
        DrawBar();
    } else {
        std::fputs(line.c_str(), m_out);
    }
    std::fflush(m_out);
}

void ProgressPrinter::DrawBar()
{
    const std::int64_t total = m_total > 0 ? m_total : 1;
    const int filled = static_cast<int>(std::int64_t{m_done} * kBarWidth / total);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::fprintf(m_out, "%s[%s] %d/%d %3d%%", kClearLine, bar.c_str(), m_done, m_total,
                 static_cast<int>(std::int64_t{m_done} * 100 / total));
    m_barShown = true;
}

void ProgressPrinter::Finish()
{
    if (m_barShown)
        std::fputc('\n', m_out);
    m_barShown = false;
    std::fflush(m_out);
}

}  // namespace picbatch
