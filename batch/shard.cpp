// Which shard an entry belongs to.
#include "batch/shard.h"

#include <charconv>

namespace picbatch {

namespace {

std::optional<std::uint32_t> ParseCount(std::string_view text)
{
    // from_chars would take a leading "-" for unsigned types in no case, but a "+" neither:
    // digits only, as the option says.
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > 0x7fffffffu)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<Shard> ParseShard(std::string_view text)
{
    const auto slash = text.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::optional<std::uint32_t> index = ParseCount(text.substr(0, slash));
    const std::optional<std::uint32_t> count = ParseCount(text.substr(slash + 1));
    if (!index || !count || *index < 1 || *index > *count)
        return std::nullopt;
    return Shard{*index, *count};
}

std::uint64_t Fnv1a64(std::string_view bytes)
{
    constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull;
    constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t hash = kOffsetBasis;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= kPrime;
    }
    return hash;
}

std::uint32_t ShardOf(std::string_view path, std::uint32_t count)
{
    return static_cast<std::uint32_t>(Fnv1a64(path) % count) + 1;
}

}  // namespace picbatch
