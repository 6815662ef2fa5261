#include "QuendrilPad/TextViewEditor.h"

#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilPad/FindBar.h"
#include "QuendrilPad/JSONHighlighter.h"
#include "QuendrilPad/LineNumberRuler.h"
#include "QuendrilPad/QuendrilTextView.h"
#include "QuendrilPad/UndoHistory.h"

#include <QLineEdit>
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
    QTRY_VERIFY(!f.editor.highlighter().isPending());
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
