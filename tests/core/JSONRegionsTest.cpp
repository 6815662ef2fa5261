#include "QuendrilCore/JSONRegions.h"

#include <QString>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

void PrintTo(const JSONRange& range, std::ostream* out)
{
    *out << "[" << range.lower << ", " << range.upper << ")";
}

namespace {

TEST(JSONRegions, FindTable)
{
    struct Row {
        const char* name;
        QString text;
        QList<JSONRange> regions;
    };
    const Row rows[] = {
        {"only the JSON line between prose lines",
         u"Some prose before {not json}\n{\"a\": [1, 2]}\nAnd prose after: true 42"_s,
         {{29, 42}}},
        {"indented multi-line object, closing brace alone on its line",
         u"intro\n  {\n    \"a\": 1\n  }\nafter"_s,
         {{8, 24}}},
        {"a comma after the object spoils it, the next line still counts",
         u"{\"a\":1},\n[2]"_s,
         {{9, 12}}},
        {"blanks after the value belong to the region", u"\t[1]  \nx"_s, {{1, 6}}},
        {"a CR before the LF belongs to the region", u"[1]\r\n{}"_s, {{0, 4}, {5, 7}}},
        {"lines inside an unclosed candidate are looked at", u"[\n  {\"a\":1}\n"_s, {{4, 11}}},
        {"a valid multi-line region is not looked into", u"[\n[1]\n]"_s, {{0, 7}}},
        {"LF inside a string fails the candidate", u"{\"a\n\": 1}\n[3]"_s, {{10, 13}}},
        {"a closing bracket too many fails the candidate", u"[1]]\n[2]"_s, {{5, 8}}},
        {"two values on one line", u"[1] [2]"_s, {}},
        {"brackets and escaped quotes inside strings", uR"(["]\"[", "{"])"_s, {{0, 13}}},
        {"scalars on their own lines are not regions", u"true\n42\n\"s\"\nnull"_s, {}},
        {"prose before the bracket on the same line", u"see [1]"_s, {}},
        {"a syntax error inside balanced brackets", u"{\"a\" 1}"_s, {}},
        {"positions are UTF-16 units", u"\u00e9\U0001F600\n[\"\U0001F600\"]"_s, {{4, 10}}},
        {"empty text", QString(), {}},
        {"blank lines only", u"\n  \n\t\n"_s, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(JSONRegions::find(row.text), row.regions);
    }
}

TEST(JSONRegions, LimitKeepsRegionsThatTouchIt)
{
    const QString text = u"[1]\nfoo\n[2]\nbar\n[3]"_s; // regions [0,3) [8,11) [16,19)
    struct Row {
        const char* name;
        JSONRange limit;
        QList<JSONRange> regions;
    };
    const Row rows[] = {
        {"whole text", {0, 19}, {{0, 3}, {8, 11}, {16, 19}}},
        {"a region ending before lo or starting after hi is left out", {4, 8}, {{8, 11}}},
        {"touching at both bounds counts", {3, 16}, {{0, 3}, {8, 11}, {16, 19}}},
        {"between regions", {12, 15}, {}},
        {"empty limit inside a region", {9, 9}, {{8, 11}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(JSONRegions::find(text, row.limit), row.regions);
    }
}

// A line of "[" never closes, so every one of them scans to the end of the text: the work grows
// with the square of the line count until the budget of 4 × length + 1,000,000 steps runs out.
TEST(JSONRegions, StopsWhenTheWorkBudgetRunsOut)
{
    const auto openLinesThenRegion = [](int lines) -> QString {
        return u"[\n"_s.repeated(lines) + u"[1]"_s;
    };
    const QString cheap = openLinesThenRegion(500);
    ASSERT_EQ(JSONRegions::find(cheap), (QList<JSONRange>{{1000, 1003}}));
    EXPECT_TRUE(JSONRegions::find(openLinesThenRegion(3000)).isEmpty());
    // Lines that start no candidate cost nothing, however long the text.
    const QString prose = u"words and more words\n"_s.repeated(200'000) + u"[1]"_s;
    EXPECT_EQ(JSONRegions::find(prose).size(), 1);
}

} // namespace
