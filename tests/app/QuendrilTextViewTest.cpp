#include "QuendrilPad/QuendrilTextView.h"

#include "QuendrilCore/JSONFormatter.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A view with a private pasteboard and the status messages collected.
struct ViewFixture {
    QuendrilTextView view;
    std::optional<QString> pasteboard;
    QStringList statuses;

    ViewFixture()
    {
        view.pasteboardForPaste = [this] { return pasteboard; };
        view.onStatus = [this](const QString& message) { statuses << message; };
        view.resize(600, 400);
    }
    void set(const QString& text, TextRange selection)
    {
        view.setWholeText(text);
        view.setSelectedRange(selection);
    }
    const QString& text() const { return view.storage(); }
};

qsizetype utf8Size(QStringView text)
{
    return text.toUtf8().size();
}

} // namespace

TEST(QuendrilTextView, PositionsConvertBetweenUnitsAndBytes)
{
    struct Row {
        const char* name;
        QString text;
    };
    const Row rows[] = {
        {"ascii", QStringLiteral("ab\ncd")},
        {"accents", QStringLiteral("é\nçà x")},
        {"outside the BMP", QStringLiteral("a\U0001D11Eb\n\U0001F600\U0001F600\nc")},
        {"combining marks", QStringLiteral("e\u0301\u0302\nn\u0303")},
        {"CR LF and lone CR", QStringLiteral("a\r\nb\rc\r\n\r\nd")},
        {"line separator", QStringLiteral("a\u2028b\u2029c\nd")},
        {"noncharacters", QStringLiteral("\uFFFE\n\uFDD0x\uFFFF\n\uFDEFy\n\U0001D11E\uFFFE\nz")},
        {"empty", QString()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QuendrilTextView view;
        view.setWholeText(row.text);
        const TextPositions& positions = view.positions();
        EXPECT_EQ(positions.unitLength(), row.text.size());
        for (qsizetype i = 0; i <= row.text.size(); ++i) {
            if (i > 0 && row.text[i - 1].isHighSurrogate())
                continue; // inside a pair
            const qsizetype bytes = utf8Size(QStringView(row.text).left(i));
            EXPECT_EQ(positions.toBytes(i), bytes) << "unit " << i;
            EXPECT_EQ(positions.toUnits(bytes), i) << "byte " << bytes;
        }
    }
}

TEST(QuendrilTextView, PositionsStayRightAfterEditsWithNoncharacters)
{
    QuendrilTextView view;
    view.setWholeText(QStringLiteral("one\ntwo\nthree"));
    view.replaceRange({4, 4}, QStringLiteral("\uFFFE\uFDD5\n"));
    view.replaceRange({0, 0}, QStringLiteral("\uFFFF"));
    view.replaceRange({1, 2}, QString()); // deletes the "o" of one
    const QString expected = QStringLiteral("\uFFFFne\n\uFFFE\uFDD5\ntwo\nthree");
    ASSERT_EQ(view.storage(), expected);
    for (qsizetype i = 0; i <= expected.size(); ++i) {
        const qsizetype bytes = utf8Size(QStringView(expected).left(i));
        EXPECT_EQ(view.positions().toBytes(i), bytes) << "unit " << i;
        EXPECT_EQ(view.positions().toUnits(bytes), i) << "byte " << bytes;
    }
    // A deletion across lines that takes noncharacters with it.
    view.replaceRange({2, 6}, QStringLiteral("\U0001D11E\n"));
    const QString after = QStringLiteral("\uFFFFn\U0001D11E\n\ntwo\nthree");
    ASSERT_EQ(view.storage(), after);
    for (qsizetype i = 0; i <= after.size(); ++i) {
        if (i > 0 && after[i - 1].isHighSurrogate())
            continue;
        const qsizetype bytes = utf8Size(QStringView(after).left(i));
        EXPECT_EQ(view.positions().toBytes(i), bytes) << "unit " << i;
        EXPECT_EQ(view.positions().toUnits(bytes), i) << "byte " << bytes;
    }
    view.replaceRange({0, after.size()}, QStringLiteral("plain\nagain"));
    EXPECT_EQ(view.positions().toBytes(8), 8);
    EXPECT_EQ(view.positions().toUnits(8), 8);
}

TEST(QuendrilTextView, PositionsStayRightAroundLineEndsAfterAnyEdit)
{
    // Every text of up to four of these characters, every insertion of one or two of the
    // first three and every deletion: Scintilla's own line index goes wrong when CR LF pairs
    // are made or split, and the conversion must not.
    const QString alphabet[] = {QStringLiteral("a"), QStringLiteral("\r"), QStringLiteral("\n"),
                                QStringLiteral("\u00E9")};
    QStringList texts{QString()};
    for (qsizetype from = 0; from < texts.size(); ++from) {
        if (texts[from].size() < 4) {
            for (const QString& c : alphabet)
                texts << texts[from] + c;
        }
    }
    QStringList inserts;
    for (const QString& a :
         QStringList{QStringLiteral("a"), QStringLiteral("\r"), QStringLiteral("\n")}) {
        inserts << a;
        for (const QString& b :
             QStringList{QStringLiteral("a"), QStringLiteral("\r"), QStringLiteral("\n")})
            inserts << a + b;
    }
    QuendrilTextView view;
    int failures = 0;
    const auto check = [&](const QString& what) {
        const QString& text = view.storage();
        for (qsizetype i = 0; i <= text.size() && failures < 5; ++i) {
            const qsizetype bytes = utf8Size(QStringView(text).left(i));
            if (view.positions().toBytes(i) != bytes || view.positions().toUnits(bytes) != i) {
                ADD_FAILURE() << what.toStdString() << ": unit " << i;
                ++failures;
            }
        }
    };
    for (const QString& text : texts) {
        for (qsizetype at = 0; at <= text.size(); ++at) {
            for (const QString& insert : inserts) {
                view.setWholeText(text);
                view.replaceRange({at, at}, insert);
                check(
                    QStringLiteral("insert %1 at %2 of %3")
                        .arg(insert.toUtf8().toHex(), QString::number(at), text.toUtf8().toHex()));
            }
            for (qsizetype to = at + 1; to <= text.size(); ++to) {
                view.setWholeText(text);
                view.replaceRange({at, to}, QString());
                check(QStringLiteral("delete %1..%2 of %3")
                          .arg(at)
                          .arg(to)
                          .arg(text.toUtf8().toHex()));
            }
        }
    }
}

TEST(QuendrilTextView, TypedTextArrivesWhole)
{
    ViewFixture f;
    f.set(QString(), {0, 0});
    QTest::keyClicks(&f.view, QStringLiteral("say \"hi\" "));
    // One key event holding a character outside the BMP, then one holding two characters.
    QTest::sendKeyEvent(QTest::Click, &f.view, Qt::Key_unknown, QStringLiteral("\U0001D11E"),
                        Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Click, &f.view, Qt::Key_unknown, QStringLiteral("a\U0001F600"),
                        Qt::NoModifier);
    EXPECT_EQ(f.text(), QStringLiteral("say \"hi\" \U0001D11Ea\U0001F600"));
    EXPECT_EQ(f.view.selectedRange(), (TextRange{f.text().size(), f.text().size()}));
    // Typing is one undo step.
    EXPECT_EQ(f.view.undoHistory().undoActionName(), QStringLiteral("Typing"));
    f.view.undo();
    EXPECT_EQ(f.text(), QString());
    f.view.redo();
    EXPECT_EQ(f.text(), QStringLiteral("say \"hi\" \U0001D11Ea\U0001F600"));
}

TEST(QuendrilTextView, BackspaceAndReturnKeepTheTextExact)
{
    ViewFixture f;
    f.set(QStringLiteral("a\r\n    b\u2028c"), {8, 8}); // after "b"
    QTest::keyClick(&f.view, Qt::Key_Return);
    EXPECT_EQ(f.text(), QStringLiteral("a\r\n    b\n    \u2028c"));
    QTest::keyClick(&f.view, Qt::Key_Backspace);
    EXPECT_EQ(f.text(), QStringLiteral("a\r\n    b\n   \u2028c"));
    f.view.undo();
    EXPECT_EQ(f.text(), QStringLiteral("a\r\n    b\u2028c"));
}

TEST(QuendrilTextView, KeysMoveAndDeleteWholeCharacters)
{
    // Scintilla takes noncharacters for invalid bytes, one at a time.
    struct Row {
        const char* name;
        QString text;
        qsizetype caret;
        std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
        QString expected;
    };
    const Qt::KeyboardModifiers none;
    const Row rows[] = {
        {"backspace after U+FFFE",
         QStringLiteral("a\uFFFEb"),
         2,
         {{Qt::Key_Backspace, none}},
         QStringLiteral("ab")},
        {"backspace after U+FDD0",
         QStringLiteral("a\uFDD0b"),
         2,
         {{Qt::Key_Backspace, none}},
         QStringLiteral("ab")},
        {"delete before U+FFFF",
         QStringLiteral("a\uFFFFb"),
         1,
         {{Qt::Key_Delete, none}},
         QStringLiteral("ab")},
        {"backspace after a surrogate pair",
         QStringLiteral("a\U0001F600b"),
         3,
         {{Qt::Key_Backspace, none}},
         QStringLiteral("ab")},
        {"backspace after CR LF",
         QStringLiteral("a\r\nb"),
         3,
         {{Qt::Key_Backspace, none}},
         QStringLiteral("ab")},
        {"delete before CR LF",
         QStringLiteral("a\r\nb"),
         1,
         {{Qt::Key_Delete, none}},
         QStringLiteral("ab")},
        {"backspace after a combining mark takes the mark",
         QStringLiteral("e\u0301"),
         2,
         {{Qt::Key_Backspace, none}},
         QStringLiteral("e")},
        {"left over U+FFFE, then typing",
         QStringLiteral("a\uFFFE"),
         2,
         {{Qt::Key_Left, none}, {Qt::Key_X, none}},
         QStringLiteral("ax\uFFFE")},
        {"shift-left over U+FFFE, then cut",
         QStringLiteral("a\uFFFEb"),
         2,
         {{Qt::Key_Left, Qt::ShiftModifier}, {Qt::Key_X, Qt::ControlModifier}},
         QStringLiteral("ab")},
        {"backspace over a selection",
         QStringLiteral("abc"),
         3,
         {{Qt::Key_Left, Qt::ShiftModifier},
          {Qt::Key_Left, Qt::ShiftModifier},
          {Qt::Key_Backspace, none}},
         QStringLiteral("a")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewFixture f;
        f.set(row.text, {row.caret, row.caret});
        for (const auto& [key, modifiers] : row.keys)
            QTest::keyClick(&f.view, key, modifiers);
        EXPECT_EQ(f.text(), row.expected);
        const qsizetype bytes = f.view.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
        const auto* buffer = reinterpret_cast<const char*>(
            f.view.SendScintilla(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
        EXPECT_EQ(QString::fromUtf8(buffer, bytes), row.expected) << "Scintilla's text";
        f.view.undo();
        EXPECT_EQ(f.text(), row.text);
    }
}

TEST(QuendrilTextView, EachLineCommandIsOneNamedUndoStep)
{
    struct Row {
        const char* name;
        QString text;
        TextRange selection;
        void (QuendrilTextView::*action)();
        QString expected;
        QString undoName;
    };
    const Row rows[] = {
        {"duplicate",
         QStringLiteral("a\nb"),
         {0, 0},
         &QuendrilTextView::duplicateLine,
         QStringLiteral("a\na\nb"),
         QStringLiteral("Duplicate Line")},
        {"delete",
         QStringLiteral("a\nb\nc"),
         {2, 2},
         &QuendrilTextView::deleteLine,
         QStringLiteral("a\nc"),
         QStringLiteral("Delete Line")},
        {"move up",
         QStringLiteral("a\nb"),
         {2, 2},
         &QuendrilTextView::moveLineUp,
         QStringLiteral("b\na"),
         QStringLiteral("Move Line Up")},
        {"move down",
         QStringLiteral("a\nb"),
         {0, 0},
         &QuendrilTextView::moveLineDown,
         QStringLiteral("b\na"),
         QStringLiteral("Move Line Down")},
        {"indent",
         QStringLiteral("a\nb"),
         {0, 3},
         &QuendrilTextView::indentLines,
         QStringLiteral("\ta\n\tb"),
         QStringLiteral("Indent")},
        {"outdent",
         QStringLiteral("      a"),
         {6, 6},
         &QuendrilTextView::outdentLines,
         QStringLiteral("  a"),
         QStringLiteral("Outdent")},
        {"join",
         QStringLiteral("a\n  b"),
         {0, 0},
         &QuendrilTextView::joinLines,
         QStringLiteral("a b"),
         QStringLiteral("Join Lines")},
        {"insert below",
         QStringLiteral("  a\nb"),
         {1, 1},
         &QuendrilTextView::insertLineBelow,
         QStringLiteral("  a\n  \nb"),
         QStringLiteral("Insert Line")},
        {"insert above",
         QStringLiteral("a"),
         {0, 0},
         &QuendrilTextView::insertLineAbove,
         QStringLiteral("\na"),
         QStringLiteral("Insert Line")},
        {"mark as bash",
         QStringLiteral("ls"),
         {0, 0},
         &QuendrilTextView::markAsBash,
         QStringLiteral("```bash\nls\n```"),
         QStringLiteral("Mark as Bash")},
        {"mark as sql",
         QStringLiteral("select 1"),
         {0, 0},
         &QuendrilTextView::markAsSQL,
         QStringLiteral("```sql\nselect 1\n```"),
         QStringLiteral("Mark as SQL")},
        {"remove marker",
         QStringLiteral("```sql\nx\n```"),
         {8, 8},
         &QuendrilTextView::removeCodeMarkers,
         QStringLiteral("x"),
         QStringLiteral("Remove Code Marker")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewFixture f;
        f.set(row.text, row.selection);
        (f.view.*row.action)();
        EXPECT_EQ(f.text(), row.expected);
        EXPECT_EQ(f.view.undoHistory().undoCount(), 1);
        EXPECT_EQ(f.view.undoHistory().undoActionName(), row.undoName);
        EXPECT_EQ(f.view.commandDepth(), 0);
        f.view.undo();
        EXPECT_EQ(f.text(), row.text);
        EXPECT_FALSE(f.view.undoHistory().canUndo());
    }
}

TEST(QuendrilTextView, CommandsWithNothingToDoAddNoStep)
{
    struct Row {
        const char* name;
        QString text;
        TextRange selection;
        void (QuendrilTextView::*action)();
    };
    const Row rows[] = {
        {"delete on empty text", QString(), {0, 0}, &QuendrilTextView::deleteLine},
        {"move the first line up", QStringLiteral("a\nb"), {0, 0}, &QuendrilTextView::moveLineUp},
        {"move the last line down",
         QStringLiteral("a\nb"),
         {2, 2},
         &QuendrilTextView::moveLineDown},
        {"outdent without indentation",
         QStringLiteral("a"),
         {0, 0},
         &QuendrilTextView::outdentLines},
        {"join the last line", QStringLiteral("a"), {0, 0}, &QuendrilTextView::joinLines},
        {"remove marker outside a block",
         QStringLiteral("a"),
         {0, 0},
         &QuendrilTextView::removeCodeMarkers},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewFixture f;
        f.set(row.text, row.selection);
        (f.view.*row.action)();
        EXPECT_EQ(f.text(), row.text);
        EXPECT_FALSE(f.view.undoHistory().canUndo());
    }
}

TEST(QuendrilTextView, KeysReachTheirCommands)
{
    struct Row {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        QString expected;
    };
    const Row rows[] = {
        {"Ctrl+Shift+D duplicates", Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier,
         QStringLiteral("one\none\ntwo")},
        {"Ctrl+Shift+K deletes", Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier,
         QStringLiteral("two")},
        {"Ctrl+Shift+Down moves down", Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier,
         QStringLiteral("two\none")},
        {"Ctrl+] indents", Qt::Key_BracketRight, Qt::ControlModifier, QStringLiteral("\tone\ntwo")},
        {"Ctrl+Shift+J joins", Qt::Key_J, Qt::ControlModifier | Qt::ShiftModifier,
         QStringLiteral("one two")},
        {"Ctrl+Return inserts below", Qt::Key_Return, Qt::ControlModifier,
         QStringLiteral("one\n\ntwo")},
        {"Tab with a caret inserts a tab", Qt::Key_Tab, Qt::NoModifier,
         QStringLiteral("\tone\ntwo")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewFixture f;
        f.set(QStringLiteral("one\ntwo"), {0, 0});
        QTest::keyClick(&f.view, Qt::Key(row.key), row.modifiers);
        EXPECT_EQ(f.text(), row.expected);
    }
}

TEST(QuendrilTextView, TabAndShiftTabWorkOnSelectedLines)
{
    ViewFixture f;
    f.set(QStringLiteral("a\nb\nc"), {0, 3});
    QTest::keyClick(&f.view, Qt::Key_Tab);
    EXPECT_EQ(f.text(), QStringLiteral("\ta\n\tb\nc"));
    EXPECT_EQ(f.view.undoHistory().undoActionName(), QStringLiteral("Indent"));
    QTest::keyClick(&f.view, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(f.text(), QStringLiteral("a\nb\nc"));
    EXPECT_EQ(f.view.undoHistory().undoActionName(), QStringLiteral("Outdent"));
    // A selection within one line is replaced by the tab, as typing.
    f.set(QStringLiteral("abc"), {1, 2});
    QTest::keyClick(&f.view, Qt::Key_Tab);
    EXPECT_EQ(f.text(), QStringLiteral("a\tc"));
}

TEST(QuendrilTextView, PasteWithPrettyPrintingIsTwoSteps)
{
    ViewFixture f;
    f.set(QStringLiteral("x\n"), {2, 2});
    f.pasteboard = QStringLiteral("{\"b\":1,\"a\":[1,2]}");
    QTest::keyClick(&f.view, Qt::Key_V, Qt::ControlModifier);
    const QString pretty =
        QStringLiteral("{\n    \"b\": 1,\n    \"a\": [\n        1,\n        2\n    ]\n}");
    EXPECT_EQ(f.text(), QStringLiteral("x\n") + pretty);
    EXPECT_EQ(f.view.selectedRange().lower, 2 + pretty.size());
    EXPECT_EQ(f.view.undoHistory().undoActionName(), QStringLiteral("Format JSON"));
    f.view.undo();
    EXPECT_EQ(f.text(), QStringLiteral("x\n{\"b\":1,\"a\":[1,2]}"));
    EXPECT_EQ(f.view.undoHistory().undoActionName(), QStringLiteral("Paste"));
    f.view.undo();
    EXPECT_EQ(f.text(), QStringLiteral("x\n"));
}

TEST(QuendrilTextView, PastesInsertTextAsCopied)
{
    struct Row {
        const char* name;
        void (QuendrilTextView::*action)();
        QString pasted;
    };
    const Row rows[] = {
        {"raw paste keeps JSON", &QuendrilTextView::pasteRaw, QStringLiteral("{\"b\":1}")},
        {"plain as plain text", &QuendrilTextView::pasteAsPlainText, QStringLiteral("{\"b\":1}")},
        {"prose with braces", &QuendrilTextView::paste, QStringLiteral("plain {text}")},
        {"line endings kept", &QuendrilTextView::paste, QStringLiteral("a\r\nb\rc\u2028d\n")},
        {"outside the BMP", &QuendrilTextView::paste, QStringLiteral("\U0001D11E\uFFFE")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewFixture f;
        f.set(QStringLiteral("<>"), {1, 1});
        f.pasteboard = row.pasted;
        (f.view.*row.action)();
        EXPECT_EQ(f.text(), QStringLiteral("<") + row.pasted + QStringLiteral(">"));
        EXPECT_EQ(f.view.selectedRange().lower, 1 + row.pasted.size());
        EXPECT_EQ(f.view.undoHistory().undoCount(), 1);
        EXPECT_EQ(f.view.undoHistory().undoActionName(), QStringLiteral("Paste"));
    }
    ViewFixture empty;
    empty.set(QStringLiteral("a"), {1, 1});
    EXPECT_FALSE(empty.view.canPaste());
    empty.view.paste();
    EXPECT_EQ(empty.text(), QStringLiteral("a"));
    EXPECT_FALSE(empty.view.undoHistory().canUndo());
}

TEST(QuendrilTextView, PastesAreEnabledOnlyWithTextIntoAnEditableView)
{
    struct Row {
        const char* name;
        std::optional<QString> pasteboard;
        bool readOnly;
        bool enabled;
    };
    const Row rows[] = {
        {"text", QStringLiteral("x"), false, true},
        {"empty text still counts", QString(), false, true},
        {"no text", std::nullopt, false, false},
        {"read-only", QStringLiteral("x"), true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewFixture f;
        f.set(QStringLiteral("a"), {1, 1});
        f.pasteboard = row.pasteboard;
        f.view.setReadOnly(row.readOnly);
        EXPECT_EQ(f.view.canPaste(), row.enabled);
        QTest::keyClick(&f.view, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(&f.view, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(f.text() != QStringLiteral("a"), row.enabled && !row.pasteboard->isEmpty());
    }
}

TEST(QuendrilTextView, FormatJSONCases)
{
    ViewFixture f;
    const QString text = QStringLiteral("note\n[1,2]\nend");
    f.set(text, {5, 10});
    QTest::keyClick(&f.view, Qt::Key_J, Qt::ControlModifier | Qt::AltModifier);
    const QString array = QStringLiteral("[\n    1,\n    2\n]");
    EXPECT_EQ(f.text(), QStringLiteral("note\n") + array + QStringLiteral("\nend"));
    EXPECT_EQ(f.view.selectedRange(), (TextRange{5, 5 + array.size()}));
    EXPECT_EQ(f.view.undoHistory().undoActionName(), QStringLiteral("Format JSON"));

    // The whole text without a selection, keeping the white space around it; caret after it.
    f.set(QStringLiteral("\n  {\"a\":1}  \n"), {0, 0});
    f.view.formatJSON();
    EXPECT_EQ(f.text(), QStringLiteral("\n  {\n    \"a\": 1\n}  \n"));
    EXPECT_EQ(f.view.selectedRange(), (TextRange{3, 3}));

    struct Row {
        const char* name;
        QString text;
        QString message;
    };
    const Row rows[] = {
        {"prose", QStringLiteral("just words"), QStringLiteral("Not valid JSON")},
        {"formatted", QStringLiteral("{\n    \"a\": 1\n}"),
         QStringLiteral("JSON is already formatted")},
        {"too large",
         QStringLiteral("[") + QStringLiteral("1,\n").repeated(1'800'000) + QStringLiteral("1]"),
         QStringLiteral("Too large to format (over 5 MB)")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewFixture g;
        g.set(row.text, {0, row.text.size()});
        g.view.formatJSON();
        EXPECT_EQ(g.statuses, QStringList{row.message});
        EXPECT_EQ(g.text(), row.text);
        EXPECT_FALSE(g.view.undoHistory().canUndo());
    }
}

TEST(QuendrilTextView, EscapeClosesTheFindBarFirst)
{
    ViewFixture f;
    bool findBarOpen = true;
    int cancels = 0;
    f.view.isFindBarVisible = [&] { return findBarOpen; };
    f.view.hideFindBar = [&] { findBarOpen = false; };
    f.view.onCancel = [&] { ++cancels; };
    QTest::keyClick(&f.view, Qt::Key_Escape);
    EXPECT_FALSE(findBarOpen);
    EXPECT_EQ(cancels, 0);
    QTest::keyClick(&f.view, Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
}

TEST(QuendrilTextView, ContextMenuHoldsOnlyOurItems)
{
    const auto titles = [](QMenu& menu) {
        QStringList out;
        for (QAction* action : menu.actions())
            out << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return out;
    };
    ViewFixture f;
    f.set(QStringLiteral("plain\n```bash\nls\n```"), {1, 1});
    EXPECT_EQ(titles(*f.view.makeContextMenu()),
              (QStringList{QStringLiteral("Mark as Bash"), QStringLiteral("Mark as SQL")}));
    f.view.setSelectedRange({15, 15});
    EXPECT_EQ(titles(*f.view.makeContextMenu()),
              (QStringList{QStringLiteral("Mark as Bash"), QStringLiteral("Mark as SQL"),
                           QStringLiteral("Remove Code Marker")}));
    f.view.addOnItems = [](QMenu* menu) {
        return QList<QAction*>{new QAction(QStringLiteral("Upper"), menu)};
    };
    EXPECT_EQ(titles(*f.view.makeContextMenu()),
              (QStringList{QStringLiteral("Mark as Bash"), QStringLiteral("Mark as SQL"),
                           QStringLiteral("Remove Code Marker"), QStringLiteral("-"),
                           QStringLiteral("Upper")}));
    f.view.addOnItems = [](QMenu*) { return QList<QAction*>{}; };
    EXPECT_EQ(titles(*f.view.makeContextMenu()).size(), 3);
}

TEST(UndoHistory, CustomStepsJoinTheOpenGroupAndRegisterTheirInverse)
{
    ViewFixture f;
    f.set(QStringLiteral("old"), {0, 3});
    UndoHistory& history = f.view.undoHistory();
    QStringList log;
    history.onWillUndo = [&] { log << QStringLiteral("will undo"); };
    history.onDidUndo = [&] { log << QStringLiteral("did undo"); };
    history.onWillRedo = [&] { log << QStringLiteral("will redo"); };
    history.onDidRedo = [&] { log << QStringLiteral("did redo"); };
    // A swap registered while the typing happens, registering its reverse when run.
    std::function<void(bool)> swap = [&](bool back) {
        log << (back ? QStringLiteral("swap back") : QStringLiteral("swap"));
        history.registerUndo([&, back] { swap(!back); });
    };
    QTest::keyClicks(&f.view, QStringLiteral("n"));
    history.registerUndo([&] { swap(false); });
    QTest::keyClicks(&f.view, QStringLiteral("ew"));
    f.view.undo();
    EXPECT_EQ(f.text(), QStringLiteral("old"));
    EXPECT_EQ(log, (QStringList{QStringLiteral("will undo"), QStringLiteral("swap"),
                                QStringLiteral("did undo")}));
    log.clear();
    f.view.redo();
    EXPECT_EQ(f.text(), QStringLiteral("new"));
    EXPECT_EQ(log, (QStringList{QStringLiteral("will redo"), QStringLiteral("swap back"),
                                QStringLiteral("did redo")}));
    EXPECT_FALSE(history.canRedo());
    EXPECT_TRUE(history.canUndo());
}

TEST(UndoHistory, ChangesThatComeToNothingLeaveNoStep)
{
    ViewFixture f;
    f.set(QStringLiteral("ab"), {1, 1});
    QTest::keyClicks(&f.view, QStringLiteral("x"));
    QTest::keyClick(&f.view, Qt::Key_Backspace);
    EXPECT_FALSE(f.view.undoHistory().canUndo());
    // A selection typed over by the same letter.
    f.view.setSelectedRange({0, 1});
    QTest::keyClicks(&f.view, QStringLiteral("a"));
    EXPECT_EQ(f.text(), QStringLiteral("ab"));
    EXPECT_FALSE(f.view.undoHistory().canUndo());
    // Only what changed is undone.
    QTest::keyClicks(&f.view, QStringLiteral("yz"));
    QTest::keyClick(&f.view, Qt::Key_Backspace);
    f.view.undo();
    EXPECT_EQ(f.text(), QStringLiteral("ab"));
    f.view.redo();
    EXPECT_EQ(f.text(), QStringLiteral("ayb"));
}

TEST(QuendrilTextView, MovingTextIsOneStepEitherWay)
{
    struct Row {
        const char* name;
        TextRange range;
        qsizetype to;
        QString expected;
        TextRange selected;
    };
    const QString text = QStringLiteral("one \r\ntwo \U0001F600 three");
    const Row rows[] = {
        {"forward", {0, 4}, 13, QStringLiteral("\r\ntwo \U0001F600 one three"), {9, 13}},
        {"backward", {10, 13}, 0, QStringLiteral("\U0001F600 one \r\ntwo three"), {0, 3}},
        {"onto itself", {0, 4}, 2, text, {0, 4}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewFixture f;
        f.set(text, row.range);
        f.view.moveText(row.range, row.to);
        EXPECT_EQ(f.text(), row.expected);
        EXPECT_EQ(f.view.selectedRange(), row.selected);
        if (row.expected != text) {
            EXPECT_EQ(f.view.undoHistory().undoActionName(), QStringLiteral("Move"));
            f.view.undo();
            EXPECT_EQ(f.text(), text);
            EXPECT_FALSE(f.view.undoHistory().canUndo());
        }
    }
}
