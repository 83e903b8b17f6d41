// picbatch-cli's progress on stderr: a bar redrawn in place on a terminal, one plain line
// per picture otherwise (logs, pipes); failures and warnings always get a line of their own.
#pragma once

#include <cstdio>
#include <string>

namespace picbatch {

class ProgressPrinter {
public:
    ProgressPrinter(std::FILE* out, bool terminal, int total);

    // One picture done; failure is its failure text, warning the warning of a converted
    // picture; each nullptr when there is none.
    void Done(const std::string& entry, const std::string* failure, const std::string* warning = nullptr);
    // One picture left as it was, its output up to date.
    void UpToDate(const std::string& entry);
    // A line of its own (ending in a newline) among the progress, the bar redrawn after it.
    void Note(const std::string& line);
    // Ends the bar's line.
    void Finish();

private:
    void DrawBar();

    std::FILE* m_out;
    bool m_terminal;
    int m_total;
    int m_done = 0;
    bool m_barShown = false;
};

}  // namespace picbatch
