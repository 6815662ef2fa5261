#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilPad/JSONHighlighter.h"
#include "QuendrilPad/QuendrilTextView.h"
#include "QuendrilPad/TextViewEditor.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using H = JSONHighlighter;

// Minified JSON on one line, at least `length` units long, with a link in it.
QString longJSONLine(qsizetype length, const QString& item = QStringLiteral("item"))
{
    QString text = QStringLiteral("[\"https://example.com/a\",");
    int i = 0;
    for (; text.size() < length; ++i)
        text += QStringLiteral("{\"id\":%1,\"name\":\"%2 %3\",\"ok\":true},")
                    .arg(i)
                    .arg(item)
                    .arg(i * 7919 % 100'003);
    return text + QStringLiteral("{}]");
}

struct LongLineFixture {
    explicit LongLineFixture(bool wrap = true)
        : editor(settings(wrap), BuiltInThemes::mariana())
    {
        editor.scrollView()->resize(700, 500);
        editor.scrollView()->show();
    }
    static Settings settings(bool wrap)
    {
        Settings s;
        s.wordWrap = wrap;
        return s;
    }
    QuendrilTextView& view() { return *editor.textView(); }
    long sci(unsigned int message, long w = 0, long l = 0)
    {
        return view().SendScintilla(message, static_cast<unsigned long>(w), l);
    }
    // The style bytes of one Scintilla line.
    QByteArray lineStyles(long line)
    {
        const long start = sci(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
        const long end = sci(QsciScintillaBase::SCI_GETLINEENDPOSITION, line);
        QByteArray styles;
        styles.reserve(end - start);
        for (long p = start; p < end; ++p)
            styles.append(char(sci(QsciScintillaBase::SCI_GETSTYLEAT, p)));
        return styles;
    }
    bool linkInLine(long line)
    {
        const long start = sci(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
        const long end = sci(QsciScintillaBase::SCI_GETLINEENDPOSITION, line);
        for (long p = start; p < end; ++p)
            if (sci(QsciScintillaBase::SCI_INDICATORVALUEAT, H::linkUnderlineIndicator, p))
                return true;
        return false;
    }
    TextViewEditor editor;
};

int longestRun(const QByteArray& styles)
{
    int longest = 0, run = 0;
    for (qsizetype i = 0; i < styles.size(); ++i) {
        run = i > 0 && styles[i] == styles[i - 1] ? run + 1 : 1;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace

TEST(LongLines, AFiveMillionUnitLineLoadsAndTakesAKeyWithItsTextIntact)
{
    LongLineFixture f;
    const QString text = longJSONLine(5'000'000) + QStringLiteral("\r\nafter\u2028end");
    f.editor.load(text, 2'500'000, 0);
    QTest::keyClick(&f.view(), Qt::Key_X);
    QString expected = text;
    expected.insert(2'500'000, QLatin1Char('x'));
    EXPECT_TRUE(f.editor.storage() == expected);
    const char* bytes = reinterpret_cast<const char*>(
        f.sci(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
    EXPECT_TRUE(QString::fromUtf8(bytes, f.sci(QsciScintillaBase::SCI_GETLENGTH)) == expected);
    f.editor.highlighter().run();
    EXPECT_TRUE(f.editor.storage() == expected);
}

TEST(LongLines, LongLinesAreCutIntoShortPlainPiecesWithoutColours)
{
    struct Case {
        const char* name;
        QString item;
    };
    const Case cases[] = {
        {"ascii", QStringLiteral("item")},
        {"outside ASCII", QStringLiteral("\u00e9\u6f22\U0001F600e\u0301")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LongLineFixture f;
        const QString longLine = longJSONLine(3 * H::longLineLimit, c.item);
        f.editor.load(QStringLiteral("{\"key\": \"https://example.com/b\"}\n") + longLine +
                          QStringLiteral("\n"),
                      0, 0);
        f.editor.highlighter().run();
        EXPECT_TRUE(f.linkInLine(0));
        EXPECT_EQ(f.lineStyles(0).count(char(H::jsonKey)), 5);
        const QByteArray styles = f.lineStyles(1);
        ASSERT_GT(styles.size(), H::longLineLimit);
        EXPECT_TRUE(std::all_of(styles.begin(), styles.end(), [](char s) {
            return s >= H::layoutPieceFirst && s <= H::layoutPieceLast;
        }));
        // Scintilla caches the widths of pieces under 30 bytes only.
        EXPECT_LT(longestRun(styles), 30);
        EXPECT_FALSE(f.linkInLine(1));
    }
}

TEST(LongLines, PieceStylesLookLikePlainText)
{
    LongLineFixture f;
    f.editor.apply(LongLineFixture::settings(true), BuiltInThemes::mariana());
    for (int style = H::layoutPieceFirst; style <= H::layoutPieceLast; ++style) {
        SCOPED_TRACE(style);
        for (unsigned int message :
             {QsciScintillaBase::SCI_STYLEGETFORE, QsciScintillaBase::SCI_STYLEGETBACK,
              QsciScintillaBase::SCI_STYLEGETSIZEFRACTIONAL, QsciScintillaBase::SCI_STYLEGETBOLD,
              QsciScintillaBase::SCI_STYLEGETITALIC})
            EXPECT_EQ(f.sci(message, style), f.sci(message, H::plain)) << message;
        char font[256] = {}, plainFont[256] = {};
        f.view().SendScintilla(QsciScintillaBase::SCI_STYLEGETFONT,
                               static_cast<unsigned long>(style), font);
        f.view().SendScintilla(QsciScintillaBase::SCI_STYLEGETFONT,
                               static_cast<unsigned long>(H::plain), plainFont);
        EXPECT_STREQ(font, plainFont);
    }
}

TEST(LongLines, AnEditChangesOnlyThePiecesNearIt)
{
    LongLineFixture f(false);
    const QString text = longJSONLine(4 * H::longLineLimit);
    f.editor.load(text, 0, 0);
    f.editor.highlighter().run();
    const QByteArray before = f.lineStyles(0);
    const qsizetype at = text.size() / 2;
    f.view().setSelectedRange({at, at});
    f.view().insertTyping(QStringLiteral("x"));
    f.editor.highlighter().run();
    const QByteArray after = f.lineStyles(0);
    ASSERT_EQ(after.size(), before.size() + 1);
    // Pieces are found from the start of the line, so those before the edit are unchanged, and
    // those after it fall back into step (shifted by the inserted byte) within a few pieces.
    EXPECT_EQ(after.left(at - 30), before.left(at - 30));
    EXPECT_EQ(after.mid(at + 200), before.mid(at + 199));
}
