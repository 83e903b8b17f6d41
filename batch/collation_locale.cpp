// The collation locale from the environment, read as the window program's Qt 6.4 reads its
// system locale (QSystemLocale::fallbackLocale, QLocaleId::fromName, findLocaleIndex), so
// both front ends order names alike.
#include "batch/collation_locale.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "batch/icu_library.h"
#include "batch/locale_codes.h"

namespace picbatch {

namespace {

// A locale as Qt identifies one; an empty part is "any". The C locale has language "C".
struct LocaleId {
    std::string language;
    std::string script;
    std::string territory;

    bool operator==(const LocaleId&) const = default;
    std::string Name() const
    {
        std::string name = language.empty() ? "und" : language;
        for (const std::string* part : {&script, &territory}) {
            if (!part->empty())
                name += "_" + *part;
        }
        return name;
    }
};

const LocaleId kCLocale{"C", "", ""};

bool IsAsciiLetterOrDigit(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string AsciiCase(std::string_view text, bool upper)
{
    std::string result(text);
    for (char& c : result) {
        if (upper && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (!upper && c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

// Calls found(entry) for each space-separated entry of list until it returns true.
template <typename Found>
bool AnyEntry(std::string_view list, Found found)
{
    while (!list.empty()) {
        const std::size_t end = list.find(' ');
        if (found(list.substr(0, end)))
            return true;
        if (end == std::string_view::npos)
            break;
        list.remove_prefix(end + 1);
    }
    return false;
}

bool IsEntry(std::string_view list, std::string_view code)
{
    return AnyEntry(list, [&](std::string_view entry) { return entry == code; });
}

// The first of Qt's locales with this language; all parts empty when it has none.
LocaleId FirstLocaleOf(std::string_view language)
{
    LocaleId found;
    AnyEntry(kQtLocales, [&](std::string_view entry) {
        const std::size_t script = entry.find('_');
        const std::size_t territory = entry.find('_', script + 1);
        if (entry.substr(0, script) != language)
            return false;
        found = {std::string(language), std::string(entry.substr(script + 1, territory - script - 1)),
                 std::string(entry.substr(territory + 1))};
        return true;
    });
    return found;
}

bool HasLocale(const LocaleId& id)
{
    return !id.script.empty() && !id.territory.empty() && IsEntry(kQtLocales, id.Name());
}

// The canonical code of a language code in any case; empty for a language without locale
// data in Qt, which Qt reads as the C locale.
std::string CanonicalLanguage(std::string_view code)
{
    const std::string lower = AsciiCase(code, false);
    std::string canonical;
    AnyEntry(kQtLanguageAliases, [&](std::string_view entry) {
        if (entry.substr(0, entry.find('=')) != lower)
            return false;
        canonical = std::string(entry.substr(entry.find('=') + 1));
        return true;
    });
    if (canonical.empty() && !FirstLocaleOf(lower).language.empty())
        canonical = lower;
    return canonical;
}

struct LocaleTags {
    std::string_view language;
    std::string_view script;
    std::string_view territory;
};

// Splits "ll[_Ssss][_TT]" with any of "_-.@" between tags, stopping at the first tag that
// is not ASCII letters and digits ("de_DE.UTF-8@euro" gives de, DE). A second tag that is
// not a script is the territory. False when the name does not start with a 2- or 3-letter tag.
bool SplitLocaleName(std::string_view name, LocaleTags& tags)
{
    enum class Expect { Language, Script, Territory, Nothing };
    Expect expect = Expect::Language;
    while (!name.empty() && expect != Expect::Nothing) {
        const std::string_view tag = name.substr(0, name.find_first_of("_-.@"));
        if (tag.empty() || !std::all_of(tag.begin(), tag.end(), IsAsciiLetterOrDigit))
            break;
        name.remove_prefix(tag.size());
        const bool separated = !name.empty();
        if (separated)
            name.remove_prefix(1);
        if (expect == Expect::Language) {
            if (tag.size() != 2 && tag.size() != 3)
                return false;
            tags.language = tag;
            expect = separated ? Expect::Script : Expect::Nothing;
        } else if (expect == Expect::Script && tag.size() == 4 && IsEntry(kQtScripts, tag)) {
            tags.script = tag;
            expect = separated ? Expect::Territory : Expect::Nothing;
        } else {
            tags.territory = tag;
            expect = Expect::Nothing;
        }
    }
    return expect != Expect::Language;
}

// The locale a name asks for, before it is matched with the locales that have data.
LocaleId IdFromName(std::string_view name)
{
    LocaleTags tags;
    if (!SplitLocaleName(name, tags))
        return kCLocale;
    LocaleId id{CanonicalLanguage(tags.language), std::string(tags.script), ""};
    if (id.language.empty())
        return kCLocale;
    if (id.script == "Zzzz")
        id.script.clear();
    const std::string territory = AsciiCase(tags.territory, true);
    if ((territory.size() == 2 || territory.size() == 3) && IsEntry(kQtTerritories, territory))
        id.territory = territory;
    return id;
}

// The id with its missing script and territory filled in from ICU's likely subtags. Qt
// has its own copy of that CLDR table; tests/batch/name_order_test.cpp checks that both
// pick the same locales.
LocaleId WithLikelySubtags(const LocaleId& id)
{
    const IcuLibrary* icu = LoadedIcu();
    if (!icu)
        return id;
    // Longest result: an 8-letter language, a script and a 3-digit territory.
    std::array<char, 64> buffer{};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = icu->addLikelySubtags(id.Name().c_str(), buffer.data(), buffer.size() - 1, &status);
    if (U_FAILURE(status) || length <= 0 || static_cast<std::size_t>(length) >= buffer.size())
        return id;
    std::string_view rest(buffer.data(), static_cast<std::size_t>(length));
    LocaleId likely{std::string(rest.substr(0, rest.find('_'))), "", ""};
    rest.remove_prefix(std::min(rest.size(), likely.language.size() + 1));
    if (rest.size() >= 4 && (rest.size() == 4 || rest[4] == '_')) {
        likely.script = std::string(rest.substr(0, 4));
        rest.remove_prefix(std::min(rest.size(), std::size_t{5}));
    }
    likely.territory = std::string(rest.substr(0, rest.find('_')));
    // A part the id gives is kept, as Qt does.
    for (auto part : {&LocaleId::language, &LocaleId::script, &LocaleId::territory}) {
        if (!(id.*part).empty())
            likely.*part = id.*part;
    }
    return likely;
}

// The locale with data that Qt picks for id: its likely full form, or id itself; else the
// same without the territory, or without the script; else the language's first locale.
LocaleId MatchingLocale(const LocaleId& id)
{
    std::vector<LocaleId> candidates{WithLikelySubtags(id), id};
    if (!id.territory.empty()) {
        const LocaleId withoutTerritory{id.language, id.script, ""};
        candidates.push_back(WithLikelySubtags(withoutTerritory));
        candidates.push_back(withoutTerritory);
    }
    if (!id.script.empty()) {
        const LocaleId withoutScript{id.language, "", id.territory};
        candidates.push_back(WithLikelySubtags(withoutScript));
        candidates.push_back(withoutScript);
    }
    for (const LocaleId& candidate : candidates) {
        if (HasLocale(candidate))
            return candidate;
    }
    const LocaleId first = FirstLocaleOf(candidates.front().language);
    return first.language.empty() ? kCLocale : first;
}

// True when candidate (from LANGUAGE) names another language than known, or a script or
// territory that known does not have.
bool Contradicts(std::string_view candidate, std::string_view known)
{
    if (candidate.empty())
        return false;
    const LocaleId knownId = IdFromName(known);
    const LocaleId candidateId = IdFromName(candidate);
    return candidateId.language != knownId.language
        || (!candidateId.territory.empty() && candidateId.territory != knownId.territory)
        || (!candidateId.script.empty() && candidateId.script != knownId.script);
}

std::string_view Variable(const EnvironmentLookup& lookup, const char* name)
{
    const char* value = lookup(name);
    return value ? std::string_view(value) : std::string_view();
}

}  // namespace

std::string CollationLocale(const EnvironmentLookup& lookup)
{
    std::string_view name = Variable(lookup, "LC_ALL");
    if (name.empty())
        name = Variable(lookup, "LC_MESSAGES");
    if (name.empty())
        name = Variable(lookup, "LANG");
    if (name.empty() || name == "C" || name == "POSIX")
        return "";
    const std::string_view languages = Variable(lookup, "LANGUAGE");
    const std::string_view firstLanguage = languages.substr(0, languages.find(':'));
    if (Contradicts(firstLanguage, name))
        name = firstLanguage;

    const LocaleId id = IdFromName(name);
    if (id == kCLocale)
        return "";
    const LocaleId matching = MatchingLocale(id);
    return matching == kCLocale ? "" : matching.Name();
}

}  // namespace picbatch
