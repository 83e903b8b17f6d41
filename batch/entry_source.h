// Where a run's entries come from, one at a time in listing order: a folder's listing, a
// folder tree walked folder by folder, or a list of files. A run holds no more of its
// listing than its source does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/shard.h"
#include "batch/source_listing.h"

namespace picbatch {

// One entry of a run's listing, a path relative to the source folder ("2024/summer/a.jpg").
struct ListedEntry {
    enum class Kind {
        File,        // a file to take: a picture, or another file passed over
        PassedOver,  // not taken, for reason
        Refused,     // cannot be taken: its failure text says why (a folder not read, a bad list line)
    };
    std::string path;
    Kind kind = Kind::File;
    PassedOverReason reason = PassedOverReason::NotRegularFile;  // Kind::PassedOver
    std::string failure;                                        // Kind::Refused
    bool picture = false;  // Kind::File with a picture's name (IsPictureEntry), asked once
};

class EntrySource {
public:
    virtual ~EntrySource() = default;

    // The next entry in listing order; nothing once every entry was given.
    virtual std::optional<ListedEntry> Next() = 0;
    // The same entries from the start, for a counting pass: in any order where that is
    // cheaper. Each call reads the folders or the list again.
    virtual std::unique_ptr<EntrySource> Again() const = 0;
    // The entries, when the source holds them all (a folder's listing); otherwise nullptr.
    virtual const std::vector<std::string>* Held() const { return nullptr; }
};

// What a counting pass over a source finds.
struct EntryCounts {
    std::uint64_t pictures = 0;  // picture entries of the whole listing: what "{n}" counts
    std::uint64_t entries = 0;   // entries in the shard, of every kind
    std::uint64_t reported = 0;  // picture entries and refused entries in the shard: the outcomes
};

// Counts the entries source gives (from its start), holding nothing per entry.
EntryCounts CountEntries(const EntrySource& source, const std::optional<Shard>& shard);

// The entries of one folder's listing (ListFolderFiles), from position first on.
class HeldEntries : public EntrySource {
public:
    explicit HeldEntries(std::vector<std::string> entries, std::size_t first = 0);
    std::optional<ListedEntry> Next() override;
    std::unique_ptr<EntrySource> Again() const override;
    const std::vector<std::string>* Held() const override { return &m_entries; }

private:
    std::vector<std::string> m_entries;
    std::size_t m_first;
    std::size_t m_next;
};

}  // namespace picbatch
