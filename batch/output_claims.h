// The output files of one run: no entry may replace what another entry of the same run
// wrote, nor the source picture of another entry.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class OutputClaims {
public:
    // Forgets the outputs written and the sources registered.
    void Clear();

    // Registers the source files of a listing (folder text, "/", each entry), replacing
    // those registered before.
    void SetSources(const std::string& folder, const std::vector<std::string>& entries);

    // Throws Error with a Chinese message naming the other entry when the picture read from
    // sourcePath may not be written at outputPath: another source's output went there in this
    // run, or it is the existing source file of another registered entry. A source may
    // always be replaced by its own output.
    void Check(const std::string& outputPath, const std::string& sourcePath) const;

    // The second half of Check alone: only reads the registered sources, so several threads
    // may call it at once.
    void CheckNotOtherSource(const std::string& outputPath, const std::string& sourcePath) const;

    // Notes that the picture read from sourcePath was written at outputPath.
    void Record(const std::string& outputPath, const std::string& sourcePath);

private:
    std::unordered_map<std::string, std::string> m_written;  // output key -> source key
    std::unordered_set<std::string> m_sources;               // source keys
};

// The failure of an entry whose output an earlier entry of the run has written.
std::string SameOutputMessage(const std::string& earlierEntry);

// A key that is equal for two spellings of one file path: the folder part made absolute
// with symbolic links resolved, then "/" and the file name.
std::string FileKey(const std::string& path);
