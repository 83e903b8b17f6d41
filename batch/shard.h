// A share of a run's entries, for running one listing on several machines: shard K of N
// takes the entries whose relative path hashes to K. The hash is FNV-1a (64 bits) of the
// path's bytes, taken modulo N, plus 1; it depends on nothing but the path, so an entry's
// shard never moves when other files are added.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace picbatch {

struct Shard {
    std::uint32_t index = 1;  // 1..count
    std::uint32_t count = 1;
    bool operator==(const Shard&) const = default;
};

// "K/N" with 1 <= K <= N (decimal digits only, N at most 2^31 - 1); nothing otherwise.
std::optional<Shard> ParseShard(std::string_view text);

// FNV-1a, 64 bits, of bytes.
std::uint64_t Fnv1a64(std::string_view bytes);

// The shard (1..count) of the entry at relative path.
std::uint32_t ShardOf(std::string_view path, std::uint32_t count);

}  // namespace picbatch
