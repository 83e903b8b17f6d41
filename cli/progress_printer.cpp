// Progress lines and the terminal progress bar.
#include "cli/progress_printer.h"

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

void ProgressPrinter::Done(const std::string& entry, const std::string* failure)
{
    ++m_done;
    if (m_terminal) {
        if (failure)
            std::fprintf(m_out, "%s%s: 失败 / failed: %s\n", kClearLine, entry.c_str(), failure->c_str());
        DrawBar();
    } else if (failure) {
        std::fprintf(m_out, "%d/%d %s: 失败 / failed: %s\n", m_done, m_total, entry.c_str(), failure->c_str());
    } else {
        std::fprintf(m_out, "%d/%d %s\n", m_done, m_total, entry.c_str());
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
