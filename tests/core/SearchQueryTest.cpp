#include "QuendrilCore/SearchQuery.h"

#include <gtest/gtest.h>

TEST(SearchQuery, SplitsWordsAndPhrases)
{
    const struct {
        const char* name;
        QString text;
        QList<QString> terms;
    } rows[] = {
        {"one word, folded", u"Café"_qs, {u"cafe"_qs}},
        {"words with extra spaces", u"  Café  BAR "_qs, {u"cafe"_qs, u"bar"_qs}},
        {"quoted phrase is one term", u"\"New  York\" pizza"_qs, {u"new  york"_qs, u"pizza"_qs}},
        {"quote ends a word", u"a\"b c\"d"_qs, {u"a"_qs, u"b c"_qs, u"d"_qs}},
        {"phrase is trimmed", u"\" padded \""_qs, {u"padded"_qs}},
        {"unclosed quote runs to the end", u"x \"open phrase "_qs, {u"x"_qs, u"open phrase"_qs}},
        {"typographic quotes are ordinary", u"\u201Cword\u201D"_qs, {u"\u201Cword\u201D"_qs}},
        {"ideographic space", u"a\u3000b"_qs, {u"a"_qs, u"b"_qs}},
        {"line breaks and tabs",
         u"a\nb\tc\r\nd\u2028e"_qs,
         {u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs, u"e"_qs}},
        {"no-break space", u"a\u00A0b"_qs, {u"a"_qs, u"b"_qs}},
        {"only white space", u" \t\n\u3000 "_qs, {}},
        {"empty quotes", u"\"\" \"  \""_qs, {}},
        {"empty", QString(), {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const SearchQuery query(row.text);
        EXPECT_EQ(query.terms, row.terms);
        EXPECT_EQ(query.isEmpty(), row.terms.isEmpty());
    }
}
