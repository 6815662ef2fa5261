#include "QuendrilCore/SearchHighlighter.h"

#include <gtest/gtest.h>

namespace {

std::optional<SearchHit> firstMatch(const QString& text, const QString& query)
{
    return SearchHighlighter::firstMatch(text, SearchQuery(query));
}

} // namespace

TEST(SearchHighlighter, FindsTheEarliestTermInTheOriginalText)
{
    const struct {
        const char* name;
        QString text;
        QString query;
        SearchHit hit;
    } rows[] = {
        {"plain",
         u"one\ntwo Cafe three\r\nfour"_qs,
         u"café"_qs,
         {u"two Cafe three"_qs, {4, 4}, 8, 4}},
        {"combining mark counts in the original",
         u"x CAFE\u0301 y"_qs,
         u"cafe"_qs,
         {u"x CAFE\u0301 y"_qs, {2, 5}, 2, 5}},
        {"sharp s against ss", u"die Straße"_qs, u"strasse"_qs, {u"die Straße"_qs, {4, 6}, 4, 6}},
        {"earliest of several terms",
         u"beta alpha"_qs,
         u"alpha beta"_qs,
         {u"beta alpha"_qs, {0, 4}, 0, 4}},
        {"equal places, earlier term wins", u"abcd"_qs, u"ab abc"_qs, {u"abcd"_qs, {0, 2}, 0, 2}},
        {"missing terms are passed over",
         u"only gamma"_qs,
         u"delta gamma"_qs,
         {u"only gamma"_qs, {5, 5}, 5, 5}},
        {"line break ends the line",
         u"a\r\n\r\nfound\r\n"_qs,
         u"found"_qs,
         {u"found"_qs, {0, 5}, 5, 5}},
        {"phrase across a line break", u"ab\ncd"_qs, u"\"b\ncd\""_qs, {u"ab"_qs, {1, 1}, 1, 4}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<SearchHit> hit = firstMatch(row.text, row.query);
        ASSERT_TRUE(hit.has_value());
        EXPECT_EQ(*hit, row.hit);
    }
}

TEST(SearchHighlighter, NothingForAnEmptyQueryOrNoMatch)
{
    EXPECT_FALSE(firstMatch(u"text"_qs, u""_qs).has_value());
    EXPECT_FALSE(firstMatch(u"text"_qs, u"\"\""_qs).has_value());
    EXPECT_FALSE(firstMatch(u"text"_qs, u"other"_qs).has_value());
    EXPECT_FALSE(firstMatch(QString(), u"a"_qs).has_value());
}

TEST(SearchHighlighter, LongLinesShowAWindowAroundTheMatch)
{
    const QString filler = QString(1000, u'x');
    const struct {
        const char* name;
        qsizetype lineLength;
        qsizetype matchAt;
        QString expectedStart; // the window's first units, "…" included
        qsizetype windowStart;
        qsizetype windowEnd;
    } rows[] = {
        {"300 units show whole", 300, 150, u"x"_qs, 0, 300},
        {"middle of 1000 units", 1000, 500, u"…x"_qs, 440, 500 + 5 + 200},
        {"near the start", 1000, 30, u"x"_qs, 0, 30 + 5 + 200},
        {"near the end", 1000, 900, u"…x"_qs, 840, 1000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QString line = filler.left(row.lineLength);
        line.replace(row.matchAt, 5, u"MATCH"_qs);
        const QString text = u"first line\n"_qs + line + u"\nlast"_qs;
        const std::optional<SearchHit> hit = firstMatch(text, u"match"_qs);
        ASSERT_TRUE(hit.has_value());
        const bool cutBefore = row.windowStart > 0;
        const bool cutAfter = row.windowEnd < row.lineLength;
        EXPECT_EQ(hit->line, QString((cutBefore ? u"…"_qs : QString()) +
                                     line.mid(row.windowStart, row.windowEnd - row.windowStart) +
                                     (cutAfter ? u"…"_qs : QString())));
        EXPECT_TRUE(hit->line.startsWith(row.expectedStart));
        EXPECT_EQ(hit->line.mid(hit->rangeInLine.location, hit->rangeInLine.length), u"MATCH"_qs);
        EXPECT_EQ(hit->location, 11 + row.matchAt);
        EXPECT_EQ(hit->length, 5);
    }
}

TEST(SearchHighlighter, WindowKeepsComposedCharactersWhole)
{
    // The window's edges would fall inside "e" + U+0301 and inside a surrogate pair.
    const QString line = QString(60, u'a') + u"e\u0301"_qs + QString(59, u'a') + u"MATCH"_qs +
                         QString(199, u'b') + u"\U0001F600"_qs + QString(400, u'c');
    const std::optional<SearchHit> hit = firstMatch(line, u"match"_qs);
    ASSERT_TRUE(hit.has_value());
    EXPECT_TRUE(hit->line.startsWith(u"…e\u0301aaa"_qs)) << hit->line.left(10).toStdString();
    EXPECT_TRUE(hit->line.endsWith(u"b\U0001F600…"_qs));
    EXPECT_EQ(hit->rangeInLine, (SearchHit::Range{62, 5}));
    EXPECT_EQ(hit->location, 121);
}
