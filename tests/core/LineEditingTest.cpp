#include "QuendrilCore/LineEditing.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace LineEditing;

// The text after the edit, with the selection marked: "[" and "]" around a selection, "|" for a
// caret, so a row reads as what the user sees.
QString shown(QStringView text, const EditResult& result)
{
    QString after = result.edit.applied(text);
    const TextRange s = result.selection;
    if (s.isEmpty())
        return after.insert(s.lower, u'|');
    after.insert(s.upper, u']');
    return after.insert(s.lower, u'[');
}

// Reads a row's input: the text with "|" for a caret or "[...]" for a selection.
struct Marked {
    QString text;
    TextRange selection;
};

Marked marked(const QString& input)
{
    Marked m{input, {}};
    if (const qsizetype caret = input.indexOf(u'|'); caret >= 0) {
        m.text.remove(caret, 1);
        m.selection = {caret, caret};
        return m;
    }
    const qsizetype open = input.indexOf(u'['), close = input.indexOf(u']');
    m.text.remove(close, 1);
    m.text.remove(open, 1);
    m.selection = {open, close - 1};
    return m;
}

struct Row {
    const char* name;
    QString input;
    QString expected;
};

void runRows(const std::vector<Row>& rows,
             const std::function<EditResult(QStringView, TextRange)>& command)
{
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Marked m = marked(row.input);
        EXPECT_EQ(shown(m.text, command(m.text, m.selection)), row.expected);
    }
}

} // namespace

TEST(LineEditing, LineRulesKnowEveryTerminator)
{
    struct Case {
        const char* name;
        QString text;
        qsizetype position;
        TextRange line;
    } rows[] = {
        {"first line with LF", u"ab\ncd"_qs, 1, {0, 3}},
        {"at the LF itself", u"ab\ncd"_qs, 2, {0, 3}},
        {"after the LF", u"ab\ncd"_qs, 3, {3, 5}},
        {"CR alone ends a line", u"ab\rcd"_qs, 1, {0, 3}},
        {"CR LF is one terminator", u"ab\r\ncd"_qs, 1, {0, 4}},
        {"between CR and LF", u"ab\r\ncd"_qs, 3, {0, 4}},
        {"NEL", u"a\u0085b"_qs, 0, {0, 2}},
        {"line separator", u"a\u2028b"_qs, 2, {2, 3}},
        {"paragraph separator", u"a\u2029b"_qs, 1, {0, 2}},
        {"end of a text ending with a terminator", u"a\n"_qs, 2, {2, 2}},
        {"end of a text without one", u"a\nbc"_qs, 4, {2, 4}},
        {"empty text", QString(), 0, {0, 0}},
        {"empty line between two", u"a\n\nb"_qs, 2, {2, 3}},
    };
    for (const Case& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(lineRange(row.text, row.position), row.line);
    }
}

TEST(LineEditing, BlockStopsBeforeTheNextLineAndListsItsStarts)
{
    const QString text = u"one\ntwo\r\nthree"_qs;
    EXPECT_EQ(linesBlock(text, {5, 5}), (TextRange{4, 9}));
    EXPECT_EQ(linesBlock(text, {0, 4}), (TextRange{0, 4})) << "ends just after LF";
    EXPECT_EQ(linesBlock(text, {4, 9}), (TextRange{4, 9})) << "ends just after CR LF";
    EXPECT_EQ(linesBlock(text, {2, 10}), (TextRange{0, 14}));
    EXPECT_EQ(lineStarts(text, {0, 14}), (QList<qsizetype>{0, 4, 9}));
    EXPECT_EQ(lineStarts(u"a\n"_qs, {2, 2}), (QList<qsizetype>{2}));
    EXPECT_EQ(leadingWhitespace(u" \t x"_qs, 0, 10), u" \t "_qs);
    EXPECT_EQ(leadingWhitespace(u"    x"_qs, 0, 2), u"  "_qs);
}

TEST(LineEditing, SelectLineGrowsByOneLinePerUse)
{
    const QString text = u"one\ntwo\nthree"_qs;
    const TextRange first = selectLine(text, {5, 5});
    EXPECT_EQ(first, (TextRange{4, 8}));
    const TextRange second = selectLine(text, first);
    EXPECT_EQ(second, (TextRange{4, 13}));
    EXPECT_EQ(selectLine(text, second), second) << "nothing left to take in";
    EXPECT_EQ(selectLine(text, {1, 6}), (TextRange{0, 8}));
}

TEST(LineEditing, Duplicate)
{
    runRows(
        {
            {"caret in the first line", u"a|b\ncd"_qs, u"ab\na|b\ncd"_qs},
            {"caret on the last line", u"a\nb|"_qs, u"a\nb\nb|"_qs},
            {"selection duplicates only itself", u"a[b]c"_qs, u"ab[b]c"_qs},
            {"empty last line", u"a\n|"_qs, u"a\n\n|"_qs},
            {"CR LF line", u"|a\r\nb"_qs, u"a\r\n|a\r\nb"_qs},
        },
        duplicateLine);
}

TEST(LineEditing, Delete)
{
    runRows(
        {
            {"middle line", u"a\nb|\nc"_qs, u"a\n|c"_qs},
            {"last line takes the break before it", u"a\nb|"_qs, u"|a"_qs},
            {"only line", u"ab|c"_qs, u"|"_qs},
            {"empty last line", u"a\nb\n|"_qs, u"a\n|b"_qs},
            {"two selected lines", u"[a\nb]\nc"_qs, u"|c"_qs},
            {"last line takes a whole CR LF", u"a\r\nb|"_qs, u"|a"_qs},
        },
        deleteLine);
}

TEST(LineEditing, Move)
{
    const auto up = [](QStringView t, TextRange s) { return *moveLines(t, s, true); };
    const auto down = [](QStringView t, TextRange s) { return *moveLines(t, s, false); };
    runRows(
        {
            {"last line up", u"a\nb|"_qs, u"b|\na"_qs},
            {"middle line up", u"a\nb|\nc"_qs, u"b|\na\nc"_qs},
            {"two lines up", u"x\n[a\nb]\n"_qs, u"[a\nb]\nx\n"_qs},
            {"last line up over CR LF", u"a\r\nb|"_qs, u"b|\na"_qs},
        },
        up);
    runRows(
        {
            {"first line down", u"a|\nb\nc"_qs, u"b\na|\nc"_qs},
            {"down onto the last line", u"a|\nb"_qs, u"b\na|"_qs},
            {"selection keeps its width", u"[ab]\ncd\n"_qs, u"cd\n[ab]\n"_qs},
            {"selected break onto the last line", u"[a\n]b"_qs, u"b\n[a]"_qs},
        },
        down);

    struct Case {
        const char* name;
        QString text;
        TextRange selection;
        bool up;
    } none[] = {
        {"first line up", u"a\nb"_qs, {0, 0}, true},
        {"last line down", u"a\nb"_qs, {3, 3}, false},
        {"last line down before a final LF", u"a\nb\n"_qs, {2, 2}, false},
        {"single line", u"a"_qs, {0, 1}, false},
    };
    for (const Case& row : none) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(moveLines(row.text, row.selection, row.up));
    }
}

TEST(LineEditing, IndentAndOutdent)
{
    runRows(
        {
            {"one line", u"a|b"_qs, u"\ta|b"_qs},
            {"caret at a line start moves after the tab", u"x\n|ab"_qs, u"x\n\t|ab"_qs},
            {"both lines selected", u"[a\nb]"_qs, u"[\ta\n\tb]"_qs},
            {"selection from inside a line", u"a[b\nc]d"_qs, u"\ta[b\n\tc]d"_qs},
            {"empty last line", u"a\n|"_qs, u"a\n\t|"_qs},
        },
        indent);
    const auto outdent4 = [](QStringView t, TextRange s) { return outdent(t, s, 4); };
    runRows(
        {
            {"a tab", u"\ta|b"_qs, u"a|b"_qs},
            {"six spaces lose four", u"      a|"_qs, u"  a|"_qs},
            {"only one tab", u"\t\ta|"_qs, u"\ta|"_qs},
            {"caret inside the removed spaces", u"  |  a"_qs, u"|a"_qs},
            {"lines selected", u"[\ta\n  b\nc]"_qs, u"[a\nb\nc]"_qs},
            {"tab after spaces stays", u"  \ta|"_qs, u"\ta|"_qs},
        },
        outdent4);
    const auto outdent0 = [](QStringView t, TextRange s) { return outdent(t, s, 0); };
    runRows(
        {
            {"width 0 keeps spaces", u"  a|"_qs, u"  a|"_qs},
            {"width 0 still removes a tab", u"\t a|"_qs, u" a|"_qs},
        },
        outdent0);
}

TEST(LineEditing, Join)
{
    runRows(
        {
            {"caret joins with the next line", u"a|\n    b"_qs, u"a| b"_qs},
            {"empty middle line leaves one space", u"[a\n\n\tb]"_qs, u"[a b]"_qs},
            {"final LF is kept", u"[a\nb\n]c"_qs, u"[a b]\nc"_qs},
            {"empty first line", u"|\nb"_qs, u"|b"_qs},
            {"CR LF breaks as one", u"a|\r\n b\r\nc"_qs, u"a| b\r\nc"_qs},
        },
        joinLines);

    const QString only = u"abc"_qs;
    const EditResult noOp = joinLines(only, {1, 2});
    EXPECT_TRUE(noOp.edit.isNoOp());
    EXPECT_EQ(noOp.edit.range, (TextRange{1, 1}));
    EXPECT_EQ(noOp.selection, (TextRange{1, 2}));
    EXPECT_TRUE(joinLines(u"a\n"_qs, {2, 2}).edit.isNoOp()) << "empty last line";
    EXPECT_TRUE(joinLines(u"a\n"_qs, {0, 0}).edit.isNoOp()) << "next line is the empty end";
}

TEST(LineEditing, NewLinesKeepTheIndent)
{
    const auto below = [](QStringView t, TextRange s) { return insertLine(t, s, true); };
    const auto above = [](QStringView t, TextRange s) { return insertLine(t, s, false); };
    runRows(
        {
            {"below", u"\ta|b\ncd"_qs, u"\tab\n\t|\ncd"_qs},
            {"below a CR LF line", u"  a|\r\nb"_qs, u"  a\n  |\r\nb"_qs},
            {"below the last line", u"x|"_qs, u"x\n|"_qs},
        },
        below);
    runRows({{"above", u"x\n  a|b"_qs, u"x\n  |\n  ab"_qs}}, above);
    runRows(
        {
            {"after the indent and text", u"    abc|"_qs, u"    abc\n    |"_qs},
            {"inside the indent", u"  |  abc"_qs, u"  \n  |  abc"_qs},
            {"replaces the selection", u"\ta[bc]d"_qs, u"\ta\n\t|d"_qs},
        },
        newline);
}

TEST(LineEditing, BackspaceAndDeleteTakeWholeCharacters)
{
    const auto backward = [](QStringView t, TextRange s) { return *deleteBackward(t, s); };
    const auto forward = [](QStringView t, TextRange s) { return *deleteForward(t, s); };
    runRows(
        {
            {"a letter", u"ab|c"_qs, u"a|c"_qs},
            {"a CR LF pair", u"a\r\n|b"_qs, u"a|b"_qs},
            {"an LF after a lone CR", u"a\r\r\n|b"_qs, u"a\r|b"_qs},
            {"a surrogate pair", u"a\U0001F600|b"_qs, u"a|b"_qs},
            {"a combining mark alone", u"e\u0301|"_qs, u"e|"_qs},
            {"a noncharacter", u"a\uFFFE|b"_qs, u"a|b"_qs},
            {"the selection", u"a[bc]d"_qs, u"a|d"_qs},
        },
        backward);
    runRows(
        {
            {"a CR LF pair", u"a|\r\nb"_qs, u"a|b"_qs},
            {"a surrogate pair", u"a|\U0001F600b"_qs, u"a|b"_qs},
            {"a lone CR", u"a|\rb"_qs, u"a|b"_qs},
        },
        forward);
    EXPECT_FALSE(deleteBackward(u"ab", {0, 0}));
    EXPECT_FALSE(deleteForward(u"ab", {2, 2}));
}

// Every command, on random texts made of the characters that matter to the line rules, returns
// an edit inside the old text and a selection inside the new one.
TEST(LineEditing, RandomTextsGiveEditsAndSelectionsInsideTheText)
{
    const char16_t alphabet[] = {u'a', u'b', u' ', u'\t', u'\n', u'\r', 0x85, 0x2028, 0x2029};
    QRandomGenerator random(20240305);
    const auto within = [](TextRange r, qsizetype length) {
        return 0 <= r.lower && r.lower <= r.upper && r.upper <= length;
    };
    for (int round = 0; round < 4000; ++round) {
        QString text;
        const int length = random.bounded(12);
        for (int k = 0; k < length; ++k)
            text.append(QChar(alphabet[random.bounded(int(std::size(alphabet)))]));
        qsizetype a = random.bounded(length + 1), b = random.bounded(length + 1);
        if (a > b)
            std::swap(a, b);
        if (random.bounded(3) == 0)
            b = a;
        const TextRange selection{a, b};
        SCOPED_TRACE(QString(u"text " + QString::fromLatin1(text.toUtf8().toPercentEncoding()) +
                             u" selection " + QString::number(a) + u"," + QString::number(b))
                         .toStdString());

        EXPECT_TRUE(within(selectLine(text, selection), length));
        std::vector<std::pair<const char*, std::optional<EditResult>>> results = {
            {"duplicate", duplicateLine(text, selection)},
            {"delete", deleteLine(text, selection)},
            {"up", moveLines(text, selection, true)},
            {"down", moveLines(text, selection, false)},
            {"indent", indent(text, selection)},
            {"outdent", outdent(text, selection, random.bounded(-1, 5))},
            {"join", joinLines(text, selection)},
            {"below", insertLine(text, selection, true)},
            {"above", insertLine(text, selection, false)},
            {"newline", newline(text, selection)},
        };
        for (const auto& [name, result] : results) {
            SCOPED_TRACE(name);
            if (!result)
                continue;
            ASSERT_TRUE(within(result->edit.range, length));
            const qsizetype newLength = length + result->edit.changeInLength();
            EXPECT_TRUE(within(result->selection, newLength));
        }
    }
}
