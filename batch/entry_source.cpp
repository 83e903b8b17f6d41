// A run's entries held in memory: one folder's listing.
#include "batch/entry_source.h"

#include <utility>

#include "batch/entry_paths.h"

namespace picbatch {

EntryCounts CountEntries(const EntrySource& source, const std::optional<Shard>& shard)
{
    EntryCounts counts;
    const std::unique_ptr<EntrySource> again = source.Again();
    while (const std::optional<ListedEntry> entry = again->Next()) {
        const bool picture = entry->kind == ListedEntry::Kind::File && entry->picture;
        counts.pictures += picture ? 1 : 0;
        if (shard && ShardOf(entry->path, shard->count) != shard->index)
            continue;
        ++counts.entries;
        counts.reported += picture || entry->kind == ListedEntry::Kind::Refused ? 1 : 0;
    }
    return counts;
}

HeldEntries::HeldEntries(std::vector<std::string> entries, std::size_t first)
    : m_entries(std::move(entries)), m_first(first), m_next(first)
{
}

std::optional<ListedEntry> HeldEntries::Next()
{
    if (m_next >= m_entries.size())
        return std::nullopt;
    const std::string& entry = m_entries[m_next++];
    return ListedEntry{entry, ListedEntry::Kind::File, {}, {}, IsPictureEntry(entry)};
}

std::unique_ptr<EntrySource> HeldEntries::Again() const
{
    return std::make_unique<HeldEntries>(m_entries, m_first);
}

}  // namespace picbatch
