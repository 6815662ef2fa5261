#include "QuendrilCore/BashTokenizer.h"
#include "QuendrilCore/CodeLanguage.h"
#include "QuendrilCore/SQLTokenizer.h"

#include <gtest/gtest.h>

namespace {

// Tokens as "kind text" lines, so a row reads as what gets coloured.
QStringList shown(QStringView text, const QList<CodeToken>& tokens)
{
    QStringList out;
    for (const CodeToken& token : tokens) {
        out << QString(codeTokenKindValue(token.kind) + u' ' +
                       text.sliced(token.range.location, token.range.length));
    }
    return out;
}

struct Row {
    const char* name;
    QString body;
    QStringList tokens;
};

} // namespace

TEST(BashTokenizer, ColoursByPosition)
{
    const Row rows[] = {
        {"commands, string, operator, flag, comment and variable",
         u"cd \"/src\" && ./run.sh prod --start # go\necho $HOME"_qs,
         {u"command cd"_qs, u"string \"/src\""_qs, u"operator &&"_qs, u"command ./run.sh"_qs,
          u"flag --start"_qs, u"comment # go"_qs, u"command echo"_qs, u"variable $HOME"_qs}},
        {"assignment before a command", u"FOO=1 make"_qs, {u"variable FOO"_qs, u"command make"_qs}},
        {"keyword keeps command position", u"if test"_qs, {u"keyword if"_qs, u"command test"_qs}},
        {"no comment inside a word", u"a#b"_qs, {u"command a#b"_qs}},
        {"keywords only in command position",
         u"echo if; then"_qs,
         {u"command echo"_qs, u"operator ;"_qs, u"keyword then"_qs}},
        {"flag stops at its equals sign",
         u"ls --color=auto -"_qs,
         {u"command ls"_qs, u"flag --color"_qs}},
        {"pipe and doubled redirect",
         u"a | b >> f"_qs,
         {u"command a"_qs, u"operator |"_qs, u"command b"_qs, u"operator >>"_qs}},
        {"special and braced variables",
         u"x $? ${a b} $"_qs,
         {u"command x"_qs, u"variable $?"_qs, u"variable ${a b}"_qs}},
        {"command substitution",
         u"x $(date)"_qs,
         {u"command x"_qs, u"operator $("_qs, u"command date"_qs, u"operator )"_qs}},
        {"escaped quote and a string over lines",
         u"echo \"a\\\"b\nc\" d"_qs,
         {u"command echo"_qs, u"string \"a\\\"b\nc\""_qs}},
        {"apostrophe string ends at a line break, out of command position",
         u"echo 'ab\nls -l"_qs,
         {u"command echo"_qs, u"string 'ab\n"_qs, u"flag -l"_qs}},
        {"unclosed string runs to the end",
         u"echo \"abc"_qs,
         {u"command echo"_qs, u"string \"abc"_qs}},
        {"line break restores command position", u"a b\nc"_qs, {u"command a"_qs, u"command c"_qs}},
        {"equals first is no assignment", u"=x y"_qs, {u"command =x"_qs}},
        {"word right after a variable",
         u"$HOME/bin x"_qs,
         {u"variable $HOME"_qs, u"command /bin"_qs}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(shown(row.body, BashTokenizer::tokens(row.body, {0, row.body.size()})),
                  row.tokens);
    }
    EXPECT_EQ(BashTokenizer::keywords().size(), 20u);
}

TEST(SQLTokenizer, ColoursKeywordsStringsNumbersAndComments)
{
    const Row rows[] = {
        {"query with a comment",
         u"SELECT id FROM users WHERE name = 'x' -- c"_qs,
         {u"keyword SELECT"_qs, u"keyword FROM"_qs, u"keyword WHERE"_qs, u"operator ="_qs,
          u"string 'x'"_qs, u"comment -- c"_qs}},
        {"lower case keyword", u"select 1"_qs, {u"keyword select"_qs, u"number 1"_qs}},
        {"doubled apostrophe stays inside", u"'it''s' x"_qs, {u"string 'it''s'"_qs}},
        {"quoted identifier is not coloured", u"\"FROM\" AS"_qs, {u"keyword AS"_qs}},
        {"decimal number and comparison",
         u"a<=3.25 <> 4."_qs,
         {u"operator <="_qs, u"number 3.25"_qs, u"operator <>"_qs, u"number 4"_qs}},
        {"block comment", u"/* a\nb */ NULL"_qs, {u"comment /* a\nb */"_qs, u"keyword NULL"_qs}},
        {"unclosed block comment", u"x /* y"_qs, {u"comment /* y"_qs}},
        {"words with dollar and digits", u"t$1 x2 order_by"_qs, {}},
        {"a lone minus and slash are operators",
         u"a - b / c"_qs,
         {u"operator -"_qs, u"operator /"_qs}},
        {"unclosed string", u"'abc"_qs, {u"string 'abc"_qs}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(shown(row.body, SQLTokenizer::tokens(row.body, {0, row.body.size()})),
                  row.tokens);
    }
    EXPECT_EQ(SQLTokenizer::keywords().size(), 101u);
}

TEST(CodeTokenizers, ReadOnlyTheGivenRange)
{
    // Positions are in the whole text, and a string or comment is cut at the range's end.
    const QString text = u"xx'abc' -- z"_qs;
    const QList<CodeToken> sql = SQLTokenizer::tokens(text, {2, 4});
    ASSERT_EQ(sql.size(), 1);
    EXPECT_EQ(sql[0], (CodeToken{CodeTokenKind::string, {2, 4}}));
    const QString bash = u"echo \"a\" b"_qs;
    EXPECT_EQ(BashTokenizer::tokens(bash, {5, 2}),
              (QList<CodeToken>{{CodeTokenKind::string, {5, 2}}}));
    EXPECT_EQ(BashTokenizer::tokens(bash, {2, 2}),
              (QList<CodeToken>{{CodeTokenKind::command, {2, 2}}}))
        << "a word starting the range is a command";
}

TEST(CodeTokenizers, KindsAndLanguagesHaveTheirStringValues)
{
    QStringList values;
    for (CodeTokenKind kind : allCodeTokenKinds) {
        values << codeTokenKindValue(kind).toString();
        EXPECT_EQ(codeTokenKindFromValue(codeTokenKindValue(kind)), kind);
    }
    EXPECT_EQ(values, (QStringList{u"keyword"_qs, u"command"_qs, u"string"_qs, u"number"_qs,
                                   u"comment"_qs, u"variable"_qs, u"flag"_qs, u"operator"_qs}));
    EXPECT_FALSE(codeTokenKindFromValue(u"operator_"));
    EXPECT_EQ(codeLanguageFromValue(u"sql"), CodeLanguage::sql);
    EXPECT_EQ(codeLanguageValue(CodeLanguage::bash), u"bash");
    EXPECT_FALSE(codeLanguageFromValue(u"BASH")) << "the value itself is exact";
}
