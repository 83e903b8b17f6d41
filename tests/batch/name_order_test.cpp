// The order of names against the one the window program had from Qt (QCollator over the
// system locale, QString for the C locale): every locale ICU knows, the environment
// variables that choose one, and the decoding of names that are not UTF-8.
#include "batch/name_order.h"

#include <sys/wait.h>
#include <unistd.h>

#include <QCollator>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <random>
#include <unicode/uloc.h>

#include "batch/collation_locale.h"
#include "batch/icu_library.h"

namespace picbatch {

using Names = std::vector<std::string>;
using Environment = std::map<std::string, std::string>;

namespace {

// The order the window program had: QCollator of locale ignoring case, QString's
// case-insensitive comparison for the C locale, ties by bytes.
Names QtOrder(Names names, const QLocale& locale)
{
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const bool plainLocale = collator.locale().language() == QLocale::C;
    struct Keyed {
        QString text;
        std::optional<QCollatorSortKey> key;
        std::string name;
    };
    std::vector<Keyed> keyed;
    for (const std::string& name : names) {
        Keyed item{QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())), std::nullopt, name};
        if (!plainLocale)
            item.key = collator.sortKey(item.text);
        keyed.push_back(std::move(item));
    }
    std::sort(keyed.begin(), keyed.end(), [plainLocale](const Keyed& a, const Keyed& b) {
        const int order = plainLocale ? QString::compare(a.text, b.text, Qt::CaseInsensitive)
                                      : a.key->compare(*b.key);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    Names sorted;
    for (const Keyed& item : keyed)
        sorted.push_back(item.name);
    return sorted;
}

// The full name of the locale Qt matched, as CollationLocale gives it; empty for C.
std::string QtLocaleName(const QLocale& locale)
{
    if (locale.language() == QLocale::C)
        return "";
    return (QLocale::languageToCode(locale.language()) + "_" + QLocale::scriptToCode(locale.script()) + "_"
            + QLocale::territoryToCode(locale.territory()))
        .toStdString();
}

EnvironmentLookup LookupIn(const Environment& environment)
{
    return [&environment](const char* name) -> const char* {
        const auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    };
}

Names OurOrder(Names names, const Environment& environment)
{
    SortNamesIn(names, CollationLocale(LookupIn(environment)));
    return names;
}

// Pieces that collations treat differently: case pairs (also outside the BMP and with
// special foldings), accents precomposed and combining, letters some languages sort apart
// (å ä ö ø æ ß ch ll), CJK, digits, punctuation and spaces, and bytes that are not UTF-8:
// lone continuations, truncated and overlong sequences, encoded surrogates, a byte order mark.
const std::vector<std::string> kPieces = {
    "a", "A", "b", "B", "z", "Z", "0", "1", "9", "10", "_", "-", ".", " ", "~", "(", "!", "'",
    "é", "É", "e\xCC\x81", "å", "Å", "ä", "Ä", "ö", "Ö", "ø", "æ", "ß", "ẞ", "ss", "ch", "ll",
    "ı", "İ", "i", "I", "σ", "ς", "Σ", "K", "\xE2\x84\xAA", "ﬀ", "Ａ", "ａ", "č", "ñ", "ü", "y",
    "中", "文", "日本", "한", "ア", "あ", "𐐀", "𐐨", "😀", "\xF0\xA0\x80\x80", "\t",
    "\x80", "\xBF", "\xC3", "\xE4\xB8", "\xF0\x9F\x98", "\xC0\xAF", "\xED\xA0\x80", "\xF5\x80",
    "\xFF", "\xEF\xBB\xBF", "\xEF\xBF\xBE",
};

// Names made of one to five pieces, plus the ones that differ only in case, the empty name
// and long ones; seeded, so a failure repeats.
Names GeneratedNames(std::size_t count)
{
    std::mt19937 random(20261207);
    std::uniform_int_distribution<std::size_t> piece(0, kPieces.size() - 1);
    std::uniform_int_distribution<int> length(1, 5);
    Names names = {"", "photo.jpg", "Photo.jpg", "PHOTO.JPG", "photo.JPG", "\xEF\xBB\xBF" "a", "a\xEF\xBB\xBF"};
    names.push_back(std::string(300, 'x'));
    names.push_back(std::string(300, 'X'));
    names.push_back(std::string(299, 'x') + "é");
    while (names.size() < count) {
        std::string name;
        for (int i = length(random); i > 0; --i)
            name += kPieces[piece(random)];
        names.push_back(name);
    }
    std::shuffle(names.begin(), names.end(), random);
    return names;
}

// Every locale ICU has data for, and names that exercise how an environment value is read.
std::vector<std::string> LocaleNames()
{
    std::vector<std::string> locales = {
        "C", "POSIX", "C.UTF-8", "", "en_US.UTF-8", "de_DE.UTF-8@euro", "de@euro", "sv_SE.UTF-8",
        "zh_CN.UTF-8", "zh_TW.UTF-8", "zh_HK", "zh_SG", "zh_Hant", "zh_Hans_TW", "zh_US",
        "zh-Hant-CN", "sr_RS@latin", "sr_Latn_RS", "sr_ME", "sh_BA", "no_NO", "nb", "nn_NO",
        "tl_PH", "iw_IL", "in_ID", "ger", "deu_DE", "DE_de", "de_Zzzz_AT", "de_Xyzw_AT", "de_XX",
        "es_419", "und", "und_DE", "xx_YY", "e", "english", "en_US_POSIX", "ja_JP.eucJP",
        "ko_KR", "tr_TR", "da_DK", "fi_FI", "pa_PK", "pa_Arab_IN", "uz_AF", "ber_MA",
        "hak_TW", "nan_TW", "yue_HK", "ar_SA", "he_IL", "th_TH", "ru_RU.KOI8-R",
    };
    for (int32_t i = 0; i < uloc_countAvailable(); ++i)
        locales.push_back(uloc_getAvailable(i));
    return locales;
}

TEST(NameOrder, WithoutIcuEveryLocaleOrdersAsTheCLocale)
{
    EXPECT_EQ(LoadIcu("libpicbatch-no-such-collation.so"), std::nullopt);
    const std::string notice = IcuMissingNotice();
    EXPECT_NE(notice.find(IcuLibraryName()), std::string::npos) << notice;
    EXPECT_EQ(notice.back(), '\n');

    // ASCII letters fold, other characters keep their code points; ties go by bytes.
    const Names names{"b.jpg", "\xC3\x84.jpg", "a.jpg", "_x.jpg", "A.jpg", "c.jpg", "\xFF.jpg", "B.JPG"};
    const Names expected{"_x.jpg", "A.jpg", "a.jpg", "B.JPG", "b.jpg", "c.jpg", "\xC3\x84.jpg", "\xFF.jpg"};
    for (const char* locale : {"", "de_DE", "zh_Hans_CN"}) {
        Names sorted = names;
        SortNamesWith(sorted, locale, nullptr);
        EXPECT_EQ(sorted, expected) << locale;
    }
    // With ICU the C locale keeps that order for these names.
    Names withIcu = names;
    SortNamesIn(withIcu, "");
    EXPECT_EQ(withIcu, expected);
}

}  // namespace

TEST(NameOrder, MatchesQtForEveryLocale)
{
    const Names names = GeneratedNames(160);
    std::string differing;
    for (const std::string& locale : LocaleNames()) {
        const QLocale qtLocale(QString::fromStdString(locale));
        const std::string ours = CollationLocale(LookupIn({{"LANG", locale}}));
        if (ours != QtLocaleName(qtLocale) || OurOrder(names, {{"LANG", locale}}) != QtOrder(names, qtLocale))
            differing += locale + " (ours " + ours + ", Qt's " + QtLocaleName(qtLocale) + ") ";
    }
    EXPECT_EQ(differing, "");
}

TEST(NameOrder, LanguageCodesSelectTheLocaleQtSelects)
{
    // Every two- and three-letter code, alone and with a territory.
    std::string code;
    std::string differing;
    for (char a = 'a'; a <= 'z'; ++a) {
        for (char b = 'a'; b <= 'z'; ++b) {
            for (char c = 'a' - 1; c <= 'z'; ++c) {
                code = c < 'a' ? std::string{a, b} : std::string{a, b, c};
                for (const std::string& name : {code, code + "_CN", code + "_US"}) {
                    if (CollationLocale(LookupIn({{"LANG", name}})) != QtLocaleName(QLocale(QString::fromStdString(name))))
                        differing += name + " ";
                }
            }
        }
    }
    EXPECT_EQ(differing, "");
}

// The system locale is read once per process, so each environment is tried in a child.
TEST(NameOrder, MatchesQtForTheSystemLocaleOfEachEnvironment)
{
    const Names names = GeneratedNames(120);
    const std::vector<Environment> environments = {
        {},
        {{"LANG", "C"}},
        {{"LANG", "POSIX"}},
        {{"LANG", "en_US.UTF-8"}},
        {{"LANG", "zh_CN.UTF-8"}},
        {{"LANG", "de_DE.UTF-8"}},
        {{"LANG", "sv_SE.UTF-8"}},
        {{"LANG", ""}, {"LC_ALL", "sv_SE.UTF-8"}},
        {{"LANG", "sv_SE.UTF-8"}, {"LC_ALL", "C"}},
        {{"LANG", "sv_SE.UTF-8"}, {"LC_ALL", ""}, {"LC_MESSAGES", "de_DE.UTF-8"}},
        {{"LANG", "en_US.UTF-8"}, {"LC_COLLATE", "sv_SE.UTF-8"}},
        {{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "sv:de"}},
        {{"LANG", "de_AT.UTF-8"}, {"LANGUAGE", "de"}},
        {{"LANG", "zh_CN.UTF-8"}, {"LANGUAGE", "zh_TW:zh"}},
        {{"LANG", "C"}, {"LANGUAGE", "sv"}},
        {{"LANG", "en_US.UTF-8"}, {"LANGUAGE", ":sv"}},
        {{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "xx"}},
    };
    for (const Environment& environment : environments) {
        std::string described;
        for (const auto& [name, value] : environment)
            described += name + "=" + value + " ";
        SCOPED_TRACE(described);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (const char* name : {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_COLLATE"})
                ::unsetenv(name);
            for (const auto& [name, value] : environment)
                ::setenv(name.c_str(), value.c_str(), 1);
            Names ours = names;
            SortNamesIn(ours, CollationLocale([](const char* name) { return std::getenv(name); }));
            ::_exit(ours == QtOrder(names, QLocale::system()) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the orders differ";
    }
}

TEST(NameOrder, DecodesNamesAsQtDoes)
{
    std::vector<std::string> names = kPieces;
    // Random bytes, biased towards the ones that start and continue sequences.
    std::mt19937 random(7);
    const unsigned char interesting[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
                                         0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0xBB};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof interesting - 1);
    std::uniform_int_distribution<int> length(0, 12);
    for (int i = 0; i < 20000; ++i) {
        std::string bytes;
        for (int n = length(random); n > 0; --n)
            bytes.push_back(static_cast<char>(interesting[pick(random)]));
        names.push_back(bytes);
    }
    names.push_back("\xEF\xBB\xBF\xEF\xBB\xBF" "x");
    names.push_back("\xEF\xBB");
    for (const std::string& name : names) {
        const QString expected = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        EXPECT_EQ(Utf16FromName(name), expected.toStdU16String()) << testing::PrintToString(name);
    }
}

TEST(NameOrder, AsciiNamesInTheCLocaleMatchQt)
{
    Names names;
    std::mt19937 random(11);
    std::uniform_int_distribution<int> character(0, 127);
    std::uniform_int_distribution<int> length(0, 6);
    for (int i = 0; i < 400; ++i) {
        std::string name;
        for (int n = length(random); n > 0; --n)
            name.push_back(static_cast<char>(character(random)));
        names.push_back(name);
    }
    Names ours = names;
    SortNamesIn(ours, "");
    EXPECT_EQ(ours, QtOrder(names, QLocale::c()));
}

TEST(NameOrder, FewerThanTwoNamesStayAsTheyAre)
{
    Names none;
    SortNamesIn(none, "de");
    EXPECT_TRUE(none.empty());
    Names one{"\xFF"};
    SortNamesIn(one, "de");
    EXPECT_EQ(one, Names{"\xFF"});
}

}  // namespace picbatch
