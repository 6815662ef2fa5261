#include "QuendrilPad/TextViewEditor.h"

#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilPad/FindBar.h"
#include "QuendrilPad/JSONHighlighter.h"
#include "QuendrilPad/LineNumberRuler.h"
#include "QuendrilPad/QuendrilTextView.h"
#include "QuendrilPad/UndoHistory.h"
#include "Eventually.h"

#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Reported {
    TextEdit edit;
    EditOrigin origin;
};

// An editor whose reports are collected and replayed on a copy of the text, so that every
// report is checked to describe the text as it was before the change.
struct EditorFixture {
    TextViewEditor editor{Settings{}, BuiltInThemes::mariana()};
    QList<Reported> reports;
    QString shadow;

    EditorFixture()
    {
        editor.scrollView()->resize(700, 500);
        editor.onEdit = [this](const TextEdit& edit, EditOrigin origin) {
            EXPECT_EQ(shadow, editor.storage()) << "reported after the change";
            reports.append({edit, origin});
            shadow = edit.applied(shadow);
        };
    }
    void load(const QString& text, qsizetype caret = 0)
    {
        editor.load(text, caret, 0);
        shadow = text;
        reports.clear();
    }
    QuendrilTextView& view() { return *editor.textView(); }
    int styleAt(qsizetype unit)
    {
        return int(
            view().SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT,
                                 static_cast<unsigned long>(view().positions().toBytes(unit))));
    }
    bool linkAt(qsizetype unit)
    {
        return view().SendScintilla(
                   QsciScintillaBase::SCI_INDICATORVALUEAT,
                   static_cast<unsigned long>(JSONHighlighter::linkUnderlineIndicator),
                   static_cast<long>(view().positions().toBytes(unit))) != 0;
    }
};

QList<EditOrigin> origins(const QList<Reported>& reports)
{
    QList<EditOrigin> out;
    for (const Reported& r : reports)
        out << r.origin;
    return out;
}

} // namespace

TEST(TextViewEditor, ReportsEveryChangeWithItsOrigin)
{
    EditorFixture f;
    f.load(QStringLiteral("one two one"));
    QTest::keyClicks(&f.view(), QStringLiteral("ab"));
    QTest::keyClick(&f.view(), Qt::Key_Backspace);
    EXPECT_EQ(origins(f.reports), QList<EditOrigin>(3, EditOrigin::userInput));
    EXPECT_EQ(f.reports[0].edit, (TextEdit{{0, 0}, QStringLiteral("a")}));
    EXPECT_EQ(f.reports[2].edit, (TextEdit{{1, 2}, QString()}));

    f.reports.clear();
    f.view().duplicateLine();
    EXPECT_EQ(origins(f.reports), QList<EditOrigin>{EditOrigin::command});

    f.reports.clear();
    f.view().undo();
    EXPECT_FALSE(f.reports.isEmpty());
    EXPECT_EQ(origins(f.reports), QList<EditOrigin>(f.reports.size(), EditOrigin::undoRedo));
    f.reports.clear();
    f.view().redo();
    EXPECT_EQ(origins(f.reports), QList<EditOrigin>(f.reports.size(), EditOrigin::undoRedo));
    EXPECT_EQ(f.shadow, f.editor.storage());
}

TEST(TextViewEditor, ReplaceAllIsCommandEditsLastMatchFirst)
{
    EditorFixture f;
    f.load(QStringLiteral("cat, Cat and cat"));
    FindBar* bar = f.editor.findBar();
    bar->findField()->setText(QStringLiteral("cat"));
    bar->replaceField()->setText(QStringLiteral("dog"));
    EXPECT_EQ(bar->replaceAll(), 3);
    EXPECT_EQ(f.editor.storage(), QStringLiteral("dog, dog and dog"));
    ASSERT_EQ(f.reports.size(), 3);
    EXPECT_EQ(origins(f.reports), QList<EditOrigin>(3, EditOrigin::command));
    EXPECT_EQ(f.reports[0].edit.range, (TextRange{13, 16}));
    EXPECT_EQ(f.reports[2].edit.range, (TextRange{0, 3}));
    EXPECT_EQ(f.editor.undoManager().undoActionName(), QStringLiteral("Replace All"));
    f.reports.clear();
    f.view().undo();
    EXPECT_EQ(f.editor.storage(), QStringLiteral("cat, Cat and cat"));
    EXPECT_EQ(origins(f.reports), QList<EditOrigin>(f.reports.size(), EditOrigin::undoRedo));
}

TEST(TextViewEditor, FindBarFindsIncrementallyAndWrapsRound)
{
    EditorFixture f;
    f.load(QStringLiteral("alpha beta alphabet"));
    FindBar* bar = f.editor.findBar();
    bar->showFind(true);
    QTest::keyClicks(bar->findField(), QStringLiteral("alp"));
    EXPECT_EQ(f.view().selectedRange(), (TextRange{0, 3}));
    QTest::keyClicks(bar->findField(), QStringLiteral("hab"));
    EXPECT_EQ(f.view().selectedRange(), (TextRange{11, 17}));
    bar->findField()->setText(QStringLiteral("alpha"));
    EXPECT_EQ(bar->findNext(), (TextRange{0, 5})); // wrapped
    EXPECT_EQ(bar->findNext(true), (TextRange{11, 16}));
    f.view().setSelectedRange({6, 10});
    bar->useSelection();
    EXPECT_EQ(bar->findField()->text(), QStringLiteral("beta"));
    // Escape in the editor closes the bar.
    QTest::keyClick(&f.view(), Qt::Key_Escape);
    EXPECT_TRUE(bar->isHidden());
}

TEST(TextViewEditor, ColoursJSONCodeAndLinks)
{
    EditorFixture f;
    const QString text = QStringLiteral("Some prose before {not json}\n"
                                        "{\"key\": \"value\", \"n\": 42, \"ok\": true}\n"
                                        "And prose after: true 42\n"
                                        "```bash\n"
                                        "echo \"hi\" --loud $HOME # note\n"
                                        "{\"a\": 1}\n"
                                        "```\n"
                                        "see https://example.org/x here");
    f.load(text);
    f.editor.highlighter().run();
    const auto at = [&](const char* needle, int from = 0) {
        return text.indexOf(QLatin1String(needle), from);
    };
    struct Row {
        const char* name;
        qsizetype position;
        int style;
    };
    const qsizetype objectLine = at("{\"key\"");
    const Row rows[] = {
        {"prose", at("prose"), JSONHighlighter::plain},
        {"braces in prose", at("{not"), JSONHighlighter::plain},
        {"key", objectLine + 1, JSONHighlighter::jsonKey},
        {"string", at("\"value\""), JSONHighlighter::jsonString},
        {"number", at("42"), JSONHighlighter::jsonNumber},
        {"literal", at("true"), JSONHighlighter::jsonLiteral},
        {"bracket", objectLine, JSONHighlighter::jsonBracket},
        {"colon", at(":", objectLine), JSONHighlighter::jsonPunctuation},
        {"literal in prose", at("true 42"), JSONHighlighter::plain},
        {"number in prose", at("42\n```"), JSONHighlighter::plain},
        {"fence", at("```bash"), JSONHighlighter::codeComment},
        {"command", at("echo"), JSONHighlighter::codeCommand},
        {"code string", at("\"hi\""), JSONHighlighter::jsonString},
        {"flag", at("--loud"), JSONHighlighter::jsonKey},
        {"variable", at("$HOME"), JSONHighlighter::codeVariable},
        {"comment", at("# note"), JSONHighlighter::codeComment},
        {"JSON number in a block", at("1}\n```"), JSONHighlighter::plain},
        {"closing fence", at("```\nsee"), JSONHighlighter::codeComment},
        {"after the block", at("see"), JSONHighlighter::plain},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(f.styleAt(row.position), row.style);
    }
    EXPECT_TRUE(f.linkAt(at("https")));
    EXPECT_TRUE(f.linkAt(at("/x")));
    EXPECT_FALSE(f.linkAt(at(" here")));
    EXPECT_FALSE(f.linkAt(at("see")));

    // Colouring touches neither the text nor the undo history.
    EXPECT_EQ(f.editor.storage(), text);
    EXPECT_FALSE(f.editor.undoManager().canUndo());
    EXPECT_TRUE(f.reports.isEmpty());
}

TEST(TextViewEditor, RecoloursAfterAnEditSettles)
{
    EditorFixture f;
    f.load(QStringLiteral("[1, 2]\nplain"));
    f.editor.highlighter().run();
    EXPECT_EQ(f.styleAt(1), JSONHighlighter::jsonNumber);
    f.view().setSelectedRange({6, 6});
    QTest::keyClicks(&f.view(), QStringLiteral(" x")); // no longer JSON
    EXPECT_FALSE(f.editor.highlighter().tokensValid());
    EXPECT_TRUE(f.editor.highlighter().isPending());
    ASSERT_EVENTUALLY(!f.editor.highlighter().isPending());
    EXPECT_EQ(f.styleAt(1), JSONHighlighter::plain);
}

TEST(TextViewEditor, LargeSheetsGetLinksOnly)
{
    EditorFixture f;
    QString text = QStringLiteral("[1, 2] https://example.org\n");
    text += QString(6'000'000, QLatin1Char('x'));
    f.load(text);
    f.editor.highlighter().run();
    EXPECT_EQ(f.styleAt(1), JSONHighlighter::plain);
    EXPECT_TRUE(f.linkAt(8));

    // A sheet coloured while small loses its colours everywhere once it grows past the limit,
    // also where the view no longer is.
    QString small = QStringLiteral("[1, 2]\n");
    for (int i = 0; i < 20'000; ++i)
        small += QStringLiteral("filler\n");
    f.editor.scrollView()->show();
    f.load(small);
    f.editor.highlighter().run();
    ASSERT_EQ(f.styleAt(1), JSONHighlighter::jsonNumber);
    f.view().setSelectedRange({small.size(), small.size()});
    f.view().SendScintilla(QsciScintillaBase::SCI_SCROLLCARET);
    ASSERT_GT(f.editor.highlighter().visibleRange().lower, 100'000);
    f.editor.highlighter().run();
    f.view().replaceRange({small.size(), small.size()},
                          QStringLiteral("more text\n").repeated(600'000));
    f.editor.highlighter().run();
    EXPECT_EQ(f.styleAt(1), JSONHighlighter::plain);
}

TEST(TextViewEditor, CaretLineAndColumnAndGoToLine)
{
    EditorFixture f;
    QString text;
    for (int i = 1; i <= 10; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    text.chop(1);
    f.load(text, text.indexOf(QLatin1String("line 3")));
    EXPECT_EQ(f.editor.caretLineAndColumn(), (std::pair<qsizetype, qsizetype>{3, 1}));
    f.view().setSelectedRange(
        {text.indexOf(QLatin1String("line 3")) + 2, text.indexOf(QLatin1String("line 3")) + 2});
    EXPECT_EQ(f.editor.caretLineAndColumn(), (std::pair<qsizetype, qsizetype>{3, 3}));
    struct Row {
        const char* name;
        qsizetype line;
        qsizetype expectedLine;
    };
    const Row rows[] = {{"zero", 0, 1}, {"first", 1, 1}, {"fifth", 5, 5}, {"beyond", 1000, 10}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        f.editor.goToLine(row.line);
        EXPECT_EQ(f.editor.caretLineAndColumn(),
                  (std::pair<qsizetype, qsizetype>{row.expectedLine, 1}));
    }
    // The index follows edits: a line added above moves the caret's line.
    f.editor.goToLine(5);
    f.view().setSelectedRange({0, 0});
    QTest::keyClick(&f.view(), Qt::Key_Return);
    f.editor.goToLine(6);
    EXPECT_EQ(f.view().selectedRange().lower, text.indexOf(QLatin1String("line 5")) + 1);
    // A column counts UTF-16 units; CR does not start a line.
    f.load(QStringLiteral("a\r\n\U0001D11Eb\rc"), 6);
    EXPECT_EQ(f.editor.caretLineAndColumn(), (std::pair<qsizetype, qsizetype>{2, 4}));
}

TEST(TextViewEditor, ThemeAndSettingsChangesKeepTextAndHistory)
{
    EditorFixture f;
    f.load(QStringLiteral("{\"a\": 1}"));
    QTest::keyClicks(&f.view(), QStringLiteral("x"));
    const qsizetype steps = f.editor.undoManager().undoCount();
    const QString undoName = f.editor.undoManager().undoActionName();
    Settings settings;
    settings.lineNumbers = true;
    settings.wordWrap = false;
    settings.tabSize = 2;
    f.reports.clear();
    f.editor.apply(settings, BuiltInThemes::light());
    EXPECT_EQ(f.editor.storage(), QStringLiteral("x{\"a\": 1}"));
    EXPECT_EQ(f.editor.undoManager().undoCount(), steps);
    EXPECT_EQ(f.editor.undoManager().undoActionName(), undoName);
    EXPECT_TRUE(f.reports.isEmpty());
    EXPECT_EQ(f.view().tabWidth(), 2);
    EXPECT_TRUE(f.editor.ruler().isVisible());
    EXPECT_GT(f.view().marginWidth(0), 0);
    EXPECT_EQ(f.view().SendScintilla(QsciScintillaBase::SCI_GETWRAPMODE),
              QsciScintillaBase::SC_WRAP_NONE);
    settings.lineNumbers = false;
    settings.wordWrap = true;
    f.editor.apply(settings, BuiltInThemes::light());
    EXPECT_EQ(f.view().marginWidth(0), 0);
    EXPECT_EQ(f.view().SendScintilla(QsciScintillaBase::SCI_GETWRAPMODE),
              QsciScintillaBase::SC_WRAP_WORD);
}

TEST(TextViewEditor, InsetFollowsTheThemeMargin)
{
    struct Row {
        const char* name;
        std::optional<double> margin;
        QSizeF inset;
    };
    const Row rows[] = {
        {"none", std::nullopt, {6, 8}}, {"56", 56.0, {56, 28}},      {"small", 4.0, {4, 8}},
        {"negative", -5.0, {0, 8}},     {"huge", 900.0, {200, 100}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Theme theme = BuiltInThemes::mariana();
        theme.margin = row.margin;
        EXPECT_EQ(TextViewEditor::inset(theme), row.inset);
    }
}

TEST(TextViewEditor, LoadSetsTextWithoutHistoryOrReports)
{
    EditorFixture f;
    QTest::keyClicks(&f.view(), QStringLiteral("typed"));
    f.reports.clear();
    f.editor.load(QStringLiteral("fresh\r\ntext"), 99, 0);
    EXPECT_TRUE(f.reports.isEmpty());
    EXPECT_EQ(f.editor.storage(), QStringLiteral("fresh\r\ntext"));
    EXPECT_FALSE(f.editor.undoManager().canUndo());
    EXPECT_EQ(f.view().selectedRange(), (TextRange{11, 11}));
    EXPECT_EQ(f.view().SendScintilla(QsciScintillaBase::SCI_GETTEXTLENGTH), 11);
}

namespace {

int lightness(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y));
}

// The lowest row of [top, bottom) in columns [left, right) holding a pixel far from `ground`.
int lowestInkRow(const QImage& image, int left, int right, int top, int bottom, QRgb ground)
{
    for (int y = std::min(bottom, image.height()) - 1; y >= std::max(top, 0); --y) {
        for (int x = std::max(left, 0); x < std::min(right, image.width()); ++x) {
            if (std::abs(qGray(image.pixel(x, y)) - qGray(ground)) > 40)
                return y;
        }
    }
    return -1;
}

} // namespace

TEST(TextViewEditor, ScrollerKnobsContrastWithTheBackground)
{
    struct Row {
        const char* name;
        QString background;
        bool light;
    };
    const Row rows[] = {
        {"dark", QStringLiteral("#1B2B34"), true},
        {"light", QStringLiteral("#FDFDFD"), false},
        {"middle grey is light enough", QStringLiteral("#808080"), false},
        {"just below the middle", QStringLiteral("#7F7F7F"), true},
        {"not a colour", QStringLiteral("nonsense"), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Theme theme = BuiltInThemes::mariana();
        theme.background = row.background;
        EXPECT_EQ(TextViewEditor::lightScrollerKnobs(theme), row.light);
    }
    // Drawn: the knob at the top of a long text is lighter than the track below it on a dark
    // theme, and darker on a light one.
    for (const bool dark : {true, false}) {
        SCOPED_TRACE(dark ? "dark theme" : "light theme");
        Theme theme = dark ? BuiltInThemes::mariana() : BuiltInThemes::light();
        EditorFixture f;
        f.editor.apply(Settings{}, theme);
        f.load(QString(QStringLiteral("line\n")).repeated(400));
        f.editor.scrollView()->show();
        QScrollBar* bar = f.view().verticalScrollBar();
        ASSERT_EVENTUALLY(bar->isVisible() && bar->height() > 100);
        const QImage image = bar->grab().toImage();
        const int knob = lightness(image, image.width() / 2, 8);
        const int track = lightness(image, image.width() / 2, image.height() - 8);
        EXPECT_EQ(knob > track, dark) << "knob " << knob << ", track " << track;
    }
}

TEST(TextViewEditor, LineSpacingFollowsTheTheme)
{
    EditorFixture f;
    f.load(QStringLiteral("one\ntwo"));
    const long single = f.view().SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL);
    Theme theme = BuiltInThemes::mariana();
    theme.lineSpacing = 1.6;
    theme.margin = 56;
    f.editor.apply(Settings{}, theme);
    const long spaced = f.view().SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL);
    EXPECT_NEAR(double(spaced), 1.6 * double(single), 1.0);
    EXPECT_EQ(f.view().SendScintilla(QsciScintillaBase::SCI_GETMARGINLEFT), 56);
    EXPECT_EQ(f.editor.storage(), QStringLiteral("one\ntwo"));
}

TEST(TextViewEditor, WordWrapWrapsAtTheEdgeOrShowsAHorizontalScroller)
{
    EditorFixture f;
    f.editor.scrollView()->show();
    f.load(QString(QStringLiteral("word ")).repeated(400) + QStringLiteral("\nshort"));
    Settings settings;
    settings.wordWrap = true;
    f.editor.apply(settings, BuiltInThemes::mariana());
    ASSERT_EVENTUALLY(f.view().SendScintilla(QsciScintillaBase::SCI_WRAPCOUNT, 0UL) > 1);
    EXPECT_EQ(f.view().SendScintilla(QsciScintillaBase::SCI_WRAPCOUNT, 1UL), 1);
    EXPECT_FALSE(f.view().horizontalScrollBar()->isVisible());
    settings.wordWrap = false;
    f.editor.apply(settings, BuiltInThemes::mariana());
    EXPECT_EVENTUALLY_EQ(f.view().SendScintilla(QsciScintillaBase::SCI_WRAPCOUNT, 0UL), 1);
    ASSERT_EVENTUALLY(f.view().horizontalScrollBar()->isVisible());
}

TEST(TextViewEditor, NumbersSitOnTheirLinesBaselines)
{
    EditorFixture f;
    Settings settings;
    settings.lineNumbers = true;
    Theme theme = BuiltInThemes::mariana();
    theme.lineSpacing = 1.4;
    f.editor.apply(settings, theme);
    const QString text = QStringLiteral("xx\nxx\n\nxx\n");
    f.load(text);
    f.editor.scrollView()->show();
    ASSERT_EVENTUALLY(f.view().isVisible());
    const QImage image = f.view().viewport()->grab().toImage();
    const QRgb ground = image.pixel(image.width() - 2, image.height() - 2);
    const int gutter = f.editor.ruler().thickness();
    const long height = f.view().SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL);
    const LineIndex& lines = f.editor.ruler().currentLines();
    ASSERT_EQ(lines.lineCount(), 5); // the empty last line after the final line feed too
    for (qsizetype line = 1; line <= lines.lineCount(); ++line) {
        SCOPED_TRACE(line);
        const qsizetype start = lines.starts()[line - 1];
        const std::optional<double> baseline = f.editor.ruler().numberBaseline(start);
        ASSERT_TRUE(baseline.has_value());
        const int top = int(f.view().SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL,
                                                   f.view().positions().toBytes(start)));
        const int number = lowestInkRow(image, 0, gutter, top, top + int(height), ground);
        ASSERT_GE(number, 0) << "no number drawn";
        // The ink of a digit ends on the row just above the baseline.
        EXPECT_NEAR(number + 1, *baseline, 1.0);
        const bool empty = start == text.size() || text[start] == QLatin1Char('\n');
        if (!empty) {
            const int glyph =
                lowestInkRow(image, gutter + 1, image.width(), top, top + int(height), ground);
            EXPECT_NEAR(glyph, number, 1.0);
        }
    }
    settings.lineNumbers = false;
    f.editor.apply(settings, theme);
    EXPECT_EQ(f.view().marginWidth(0), 0);
}
