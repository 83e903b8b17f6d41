// The output files of one run: no entry may replace what another entry of the same run
// wrote, nor the source picture of another entry. Several threads may claim at once.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace picbatch {

class OutputClaims {
public:
    // An output name held for one conversion. Unless kept, it is given back when the claim
    // ends, so that a later entry may still write there after this one failed.
    class Claim {
    public:
        Claim(Claim&& other) noexcept;
        Claim& operator=(Claim&&) = delete;
        ~Claim();

        // The conversion succeeded: the output stays this source's for the rest of the run.
        void Keep() { m_owner = nullptr; }

    private:
        friend class OutputClaims;
        Claim(OutputClaims* owner, std::string outputKey) : m_owner(owner), m_outputKey(std::move(outputKey)) {}

        OutputClaims* m_owner;  // null once kept, or when the claim was held from before
        std::string m_outputKey;
    };

    // Forgets the outputs written and the sources registered.
    void Clear();

    // Registers the source files of a listing (folder text, "/", each entry), replacing
    // those registered before. Files are known by device and inode, so a link or another
    // spelling of a source is that source.
    void SetSources(const std::string& folder, const std::vector<std::string>& entries);

    // The sources of a run through a folder tree or a list of files, which are not held
    // one by one: every picture file (IsPictureEntry, a regular file) whose path lies inside
    // root, none of its folders hidden, and not inside excluded (the destination, when it
    // lies in the tree). Replaces the tree set before; the registered sources stay.
    void SetSourceTree(const std::string& root, const std::string& excluded);

    // Claims outputPath for the picture read from sourcePath. Throws Error with a Chinese
    // message when another source's output went there in this run (or is being written),
    // when the file there is a registered source of the run, or when it is sourcePath's own
    // file: no original is ever replaced. A source may replace its own earlier output.
    [[nodiscard]] Claim ClaimOutput(const std::string& outputPath, const std::string& sourcePath);

private:
    void Release(const std::string& outputKey);

    using FileIdentity = std::pair<dev_t, ino_t>;

    std::mutex m_mutex;
    std::unordered_map<std::string, std::string> m_written;  // output key -> source key
    std::map<FileIdentity, std::string> m_sources;           // source file -> its entry
    std::string m_treeKey;      // the source tree's folder, links resolved; empty: none
    std::string m_excludedKey;  // inside it, the destination's
};

// The refusals of ClaimOutput that protect the originals.
std::string OwnSourceMessage(const std::string& entry);
std::string OtherSourceMessage(const std::string& entry);

// The failure of an entry whose output an earlier entry of the run has written.
std::string SameOutputMessage(const std::string& earlierEntry);

// A key that is equal for two spellings of one file path: the folder part made absolute
// with symbolic links resolved, then "/" and the file name.
std::string FileKey(const std::string& path);

}  // namespace picbatch
