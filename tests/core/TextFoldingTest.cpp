#include "QuendrilCore/TextFolding.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <gtest/gtest.h>

#include <random>

namespace {

// The rule applied to a whole text in one go, without chunks, fast paths or caches.
QString referenceFold(const QString& text)
{
    UErrorCode status = U_ZERO_ERROR;
    const auto* caseFold = icu::Normalizer2::getNFKCCasefoldInstance(status);
    const auto* nfd = icu::Normalizer2::getNFDInstance(status);
    const auto* nfc = icu::Normalizer2::getNFCInstance(status);
    const icu::UnicodeString source(reinterpret_cast<const UChar*>(text.utf16()),
                                    int32_t(text.size()));
    const icu::UnicodeString decomposed =
        nfd->normalize(caseFold->normalize(source, status), status);
    icu::UnicodeString bare;
    for (int32_t i = 0; i < decomposed.length(); i = decomposed.moveIndex32(i, 1)) {
        if (u_charType(decomposed.char32At(i)) != U_NON_SPACING_MARK)
            bare.append(decomposed.char32At(i));
    }
    const icu::UnicodeString result = nfc->normalize(bare, status);
    EXPECT_TRUE(U_SUCCESS(status));
    return QString(reinterpret_cast<const QChar*>(result.getBuffer()), result.length());
}

} // namespace

TEST(TextFolding, FoldsCaseAccentsAndCompatibilityForms)
{
    const QString sixteen = QStringLiteral("ABCDEFGHIJKLMNOP");
    const struct {
        const char* name;
        QString text;
        QString folded;
    } rows[] = {
        {"precomposed", u"Café"_qs, u"cafe"_qs},
        {"capitals", u"CAFÉ"_qs, u"cafe"_qs},
        {"combining mark", u"Cafe\u0301"_qs, u"cafe"_qs},
        {"umlaut", u"Zürich"_qs, u"zurich"_qs},
        {"ligature", u"\uFB01le"_qs, u"file"_qs},
        {"sharp s", u"straße"_qs, u"strasse"_qs},
        {"capital sharp s", u"STRASSE \u1E9E"_qs, u"strasse ss"_qs},
        {"dotted capital I", u"İstanbul"_qs, u"istanbul"_qs},
        {"Greek with tonos", u"ΆΛΦΑ ς"_qs, u"αλφα σ"_qs},
        {"full-width letters", u"ＡＢＣ１"_qs, u"abc1"_qs},
        {"no-break space", u"a\u00A0b"_qs, u"a b"_qs},
        {"Hangul stays composed", u"한국어"_qs, u"한국어"_qs},
        {"emoji", u"x\U0001F600Y"_qs, u"x\U0001F600y"_qs},
        {"mark after a vector block", QString(sixteen + u"E\u0301"_qs), u"abcdefghijklmnope"_qs},
        {"mark ending a vector block", QString(u"ABCDEFGHIJKLMNO\u0301"_qs + sixteen),
         u"abcdefghijklmnoabcdefghijklmnop"_qs},
        {"mark at the start", u"\u0301abc"_qs, u"abc"_qs},
        {"lone surrogate", QString(u"a"_qs + QChar(0xD800) + u"B"_qs),
         QString(u"a"_qs + QChar(0xFFFD) + u"b"_qs)},
        {"empty", QString(), QString()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TextFolding::fold(row.text), row.folded);
        EXPECT_EQ(TextFolding::foldWithMap(row.text).folded, TextFolding::fold(row.text));
    }
}

// Chunking, the ASCII fast path and the per-character cache must give what folding the whole
// text at once gives, or queries and texts would fold apart.
TEST(TextFolding, PiecewiseFoldingEqualsWholeTextFolding)
{
    const QList<QString> alphabet = {
        u"a"_qs,          u"Z"_qs,      u" "_qs,      u"\n"_qs,
        u"é"_qs,          u"\u0301"_qs, u"\u0323"_qs, u"\u0338"_qs,
        u"ß"_qs,          u"\uFB01"_qs, u"İ"_qs,      u"Σ"_qs,
        u"\u1100"_qs,     u"\u1161"_qs, u"\u11A8"_qs, u"한"_qs,
        u"\U0001D400"_qs, u"\u00AD"_qs, u"Å"_qs,      u"\u212B"_qs,
        u"ｶ"_qs,          u"\uFF9E"_qs, u"\u0915"_qs, u"\u093C"_qs,
        u"\u0BC6"_qs,     u"\u0BBE"_qs, u"="_qs,      u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"_qs,
    };
    std::mt19937 random(20240305);
    std::uniform_int_distribution<qsizetype> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        for (int i = length(random); i > 0; --i)
            text += alphabet[pick(random)];
        SCOPED_TRACE(text.toStdString());
        ASSERT_EQ(TextFolding::fold(text), referenceFold(text));
        ASSERT_EQ(TextFolding::foldWithMap(text).folded, referenceFold(text));
    }
}

TEST(TextFolding, MapLeadsBackToWholeOriginalCharacters)
{
    const struct {
        const char* name;
        QString text;
        qsizetype foldedUnit;
        qsizetype start;
        qsizetype end;
    } rows[] = {
        {"ASCII maps one to one", u"Hello"_qs, 4, 4, 5},
        {"precomposed letter", u"xCafé!"_qs, 4, 4, 5},
        {"letter with combining mark", u"xCafe\u0301!"_qs, 4, 4, 6},
        {"unit after a combining mark", u"xCafe\u0301!"_qs, 5, 6, 7},
        {"sharp s gives two units of one origin", u"aßb"_qs, 2, 1, 2},
        {"ligature", u"\uFB01x"_qs, 1, 0, 1},
        {"after a vector block", QString(u"ABCDEFGHIJKLMNOPE\u0301z"_qs), 17, 18, 19},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TextFolding::Mapped mapped = TextFolding::foldWithMap(row.text);
        ASSERT_EQ(mapped.originStart.size(), size_t(mapped.folded.size()));
        ASSERT_EQ(mapped.originEnd.size(), size_t(mapped.folded.size()));
        EXPECT_EQ(mapped.originStart[size_t(row.foldedUnit)], row.start);
        EXPECT_EQ(mapped.originEnd[size_t(row.foldedUnit)], row.end);
    }
}

TEST(TextFolding, Utf8IsTheFoldedTextsBytes)
{
    const QString text = u"Ünïcödé ﬁles and STRASSE straße 😀, plain ASCII tail to fill a block"_qs;
    EXPECT_EQ(TextFolding::foldToUtf8(text), TextFolding::fold(text).toUtf8());
    EXPECT_EQ(TextFolding::foldToUtf8(u"straße"), TextFolding::foldToUtf8(u"STRASSE"));
}
