#include "QuendrilCore/AddOnOutput.h"

#include <QString>

#include <gtest/gtest.h>

using Problem = AddOnOutput::Problem;
using Cleaned = Result<QString, Problem>;

TEST(AddOnOutput, CleansOutputIntoText)
{
    const struct {
        const char* name;
        QByteArray output;
        Cleaned expected;
    } rows[] = {
        {"CR LF and trailing LF", "hello\r\n\n\n", u"hello"_qs},
        {"lone CR", "a\rb\r\nc\n\rd", u"a\nb\nc\n\nd"_qs},
        {"empty", "", QString()},
        {"only line feeds", "\n\r\n\r", QString()},
        {"tabs, inner blank lines and trailing spaces kept", "\ta\n\n  b  \n", u"\ta\n\n  b  "_qs},
        {"any script", "héllo ✓ 𝄞", u"héllo ✓ 𝄞"_qs},
        {"byte order mark kept", "\xEF\xBB\xBFx", u"\uFEFFx"_qs},
        {"NUL", QByteArray("a\0b", 3), unexpected(Problem::controlCharacter)},
        {"ESC", "\x1b[1mbold", unexpected(Problem::controlCharacter)},
        {"DEL", "a\x7f", unexpected(Problem::controlCharacter)},
        {"C1 control", "a\xC2\x85", unexpected(Problem::controlCharacter)},
        {"vertical tab", "a\vb", unexpected(Problem::controlCharacter)},
        {"bad byte", "a\xff", unexpected(Problem::notText)},
        {"overlong", "\xC0\xAF", unexpected(Problem::notText)},
        {"surrogate", "\xED\xA0\x80", unexpected(Problem::notText)},
        {"past U+10FFFF", "\xF4\x90\x80\x80", unexpected(Problem::notText)},
        {"cut off at the end", "ab\xE2\x82", unexpected(Problem::notText)},
        {"not text before control", QByteArray("\0\xff", 2), unexpected(Problem::notText)},
        {"JSON object", "{\"a\":1}\n", u"{\n    \"a\": 1\n}"_qs},
        {"JSON array with CR LF", "[1,\r\n2]\r\n", u"[\n    1,\n    2\n]"_qs},
        {"JSON scalar kept", "42\n", u"42"_qs},
        {"not JSON kept", "{a}", u"{a}"_qs},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AddOnOutput::clean(row.output), row.expected);
    }
}

TEST(AddOnOutput, InsertsUnderTheAnchorLine)
{
    const struct {
        const char* name;
        QString text;
        TextRange under;
        QString output;
        QString expectedText;
        qsizetype expectedCaret;
    } rows[] = {
        {"indented caret line",
         u"  ab\ncd"_qs,
         {3, 3},
         u"x\n\ny"_qs,
         u"  ab\n  x\n\n  y\ncd"_qs,
         13},
        {"tab indent", u"\t\tab"_qs, {4, 4}, u"x"_qs, u"\t\tab\n\t\tx"_qs, 8},
        {"indent only from the line start", u"a  b\n"_qs, {3, 3}, u"x"_qs, u"a  b\nx\n"_qs, 6},
        {"whole line with its LF", u"one\ntwo\n"_qs, {0, 4}, u"X"_qs, u"one\nX\ntwo\n"_qs, 5},
        {"two whole lines", u"one\ntwo\nend"_qs, {0, 8}, u"X"_qs, u"one\ntwo\nX\nend"_qs, 9},
        {"selection inside a line", u"abc\ndef"_qs, {1, 2}, u"X"_qs, u"abc\nX\ndef"_qs, 5},
        {"selection to the line end", u"abc\ndef"_qs, {4, 7}, u"X"_qs, u"abc\ndef\nX"_qs, 9},
        {"selection ending at the next line start",
         u"ab\ncd"_qs,
         {1, 3},
         u"X"_qs,
         u"ab\nX\ncd"_qs,
         4},
        {"last line without terminator", u"one\ntwo"_qs, {5, 5}, u"X"_qs, u"one\ntwo\nX"_qs, 9},
        {"caret after a final LF", u"abc\n"_qs, {4, 4}, u"X"_qs, u"abc\n\nX"_qs, 6},
        {"empty text", QString(), {0, 0}, u"X"_qs, u"\nX"_qs, 2},
        {"CR LF line", u"ab\r\ncd"_qs, {0, 0}, u"X"_qs, u"ab\r\nX\ncd"_qs, 5},
        // A line ended by CR or a Unicode separator keeps its terminator after the output too,
        // instead of the output running into the next line.
        {"CR line", u"ab\rcd"_qs, {0, 0}, u"X"_qs, u"ab\nX\rcd"_qs, 4},
        {"line separator", u"ab\u2028cd"_qs, {1, 1}, u"X"_qs, u"ab\nX\u2028cd"_qs, 4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<EditResult> result =
            AddOnOutput::insert(row.output, row.under, row.text);
        ASSERT_TRUE(result);
        EXPECT_TRUE(result->edit.range.isEmpty());
        EXPECT_EQ(result->edit.applied(row.text), row.expectedText);
        EXPECT_EQ(result->selection, (TextRange{row.expectedCaret, row.expectedCaret}));
    }
    EXPECT_FALSE(AddOnOutput::insert(QString(), {0, 0}, u"abc"));
}
