// Random sequences of keys, commands, pastes, undo and redo on awkward text. After every step the
// editor's copy of the text must equal Scintilla's buffer, and the reported edits replayed on a
// shadow copy must give the same text: the sheet document saves what the reports describe, so a
// wrong report would write a wrong sheet.
#include "QuendrilPad/TextViewEditor.h"

#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilPad/FindBar.h"
#include "QuendrilPad/QuendrilTextView.h"
#include "QuendrilPad/UndoHistory.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <random>

namespace {

// Pieces that stress the position conversion and the line rules.
const QString pieces[] = {
    QStringLiteral("a"),          QStringLiteral("word "),
    QStringLiteral("\n"),         QStringLiteral("\r\n"),
    QStringLiteral("\r"),         QStringLiteral("\t"),
    QStringLiteral("    "),       QStringLiteral("\u2028"),
    QStringLiteral("\U0001F600"), QStringLiteral("e\u0301"),
    QStringLiteral("\uFFFE"),     QStringLiteral("\uFDD0"),
    QStringLiteral("é"),          QStringLiteral("{\"k\":[1,2]}"),
    QStringLiteral("```bash\n"),  QStringLiteral("https://example.org/a "),
};

QString escaped(const QString& text)
{
    QString out;
    for (QChar c : text)
        out += c.unicode() < 0x20 || c.unicode() > 0x7E
                   ? QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'))
                   : QString(c);
    return out;
}

class Model {
public:
    explicit Model(unsigned seed)
        : m_random(seed)
    {
        m_editor.scrollView()->resize(500, 300);
        QuendrilTextView& view = this->view();
        view.pasteboardForPaste = [this] { return m_pasteboard; };
        m_editor.onEdit = [this](const TextEdit& edit, EditOrigin) {
            if (!(edit.range.lower >= 0 && edit.range.upper <= m_shadow.size() &&
                  edit.range.lower <= edit.range.upper)) {
                ADD_FAILURE() << "edit outside the text: " << edit.range.lower << ".."
                              << edit.range.upper << " of " << m_shadow.size();
                return;
            }
            m_shadow = edit.applied(m_shadow);
        };
        const QString start = text(40);
        m_editor.load(start, 0, 0);
        m_shadow = start;
        m_initial = start;
    }

    QuendrilTextView& view() { return *m_editor.textView(); }

    QString text(int pieceCount)
    {
        QString out;
        for (int i = 0; i < pieceCount; ++i)
            out += pieces[pick(std::size(pieces))];
        return out;
    }

    void step()
    {
        QuendrilTextView& v = view();
        const qsizetype length = v.length();
        const qsizetype op = pick(20);
        m_last = QStringLiteral("operation %1 on %2 with selection %3..%4")
                     .arg(op)
                     .arg(escaped(v.storage()))
                     .arg(v.selectedRange().lower)
                     .arg(v.selectedRange().upper);
        switch (op) {
        case 0: {
            const qsizetype a = pick(length + 1);
            const qsizetype b = pick(length + 1);
            v.setSelectedRange({std::min(a, b), std::max(a, b)});
            break;
        }
        case 1:
        case 2: {
            const QString typed = text(1);
            m_last += QStringLiteral(" typing ") + escaped(typed);
            QTest::sendKeyEvent(QTest::Click, &v, Qt::Key_unknown, typed, Qt::NoModifier);
            break;
        }
        case 3:
            QTest::keyClick(&v, pick(2) ? Qt::Key_Backspace : Qt::Key_Delete);
            break;
        case 4:
            QTest::keyClick(&v, Qt::Key_Return);
            break;
        case 5:
            QTest::keyClick(&v, pick(2) ? Qt::Key_Tab : Qt::Key_Backtab);
            break;
        case 6: {
            static void (QuendrilTextView::*const commands[])() = {
                &QuendrilTextView::duplicateLine,   &QuendrilTextView::deleteLine,
                &QuendrilTextView::moveLineUp,      &QuendrilTextView::moveLineDown,
                &QuendrilTextView::indentLines,     &QuendrilTextView::outdentLines,
                &QuendrilTextView::joinLines,       &QuendrilTextView::insertLineBelow,
                &QuendrilTextView::insertLineAbove, &QuendrilTextView::markAsBash,
                &QuendrilTextView::markAsSQL,       &QuendrilTextView::removeCodeMarkers,
                &QuendrilTextView::formatJSON,
            };
            (v.*commands[pick(std::size(commands))])();
            break;
        }
        case 7:
            m_pasteboard = pick(3) ? text(3) : QStringLiteral(" {\"b\":1,\"a\":[1,2]} ");
            pick(2) ? v.paste() : v.pasteRaw();
            break;
        case 8:
            v.cut();
            break;
        case 9:
        case 10:
            v.undo();
            break;
        case 11:
            v.redo();
            break;
        case 12:
            // Scintilla's own editing keys: word deletion both ways.
            QTest::keyClick(&v, pick(2) ? Qt::Key_Backspace : Qt::Key_Delete, Qt::ControlModifier);
            break;
        case 13: {
            FindBar* bar = m_editor.findBar();
            bar->findField()->setText(pieces[pick(std::size(pieces))]);
            bar->replaceField()->setText(pieces[pick(std::size(pieces))]);
            pick(2) ? void(bar->replaceAll()) : bar->replace();
            break;
        }
        case 14:
            QTest::keyClick(&v, pick(2) ? Qt::Key_Left : Qt::Key_Right,
                            pick(2) ? Qt::ShiftModifier : Qt::NoModifier);
            break;
        case 15:
            QTest::keyClick(&v, pick(2) ? Qt::Key_Up : Qt::Key_End);
            break;
        case 16:
            // Select all and type, the way a new sheet begins.
            v.setSelectedRange({0, length});
            QTest::sendKeyEvent(QTest::Click, &v, Qt::Key_unknown, text(1), Qt::NoModifier);
            break;
        case 17:
            v.selectLine();
            break;
        default:
            QTest::sendKeyEvent(QTest::Click, &v, Qt::Key_unknown, text(2), Qt::NoModifier);
            break;
        }
    }

    // The invariants after each step.
    void check(int stepNumber)
    {
        SCOPED_TRACE(QStringLiteral("step %1: %2").arg(stepNumber).arg(m_last).toStdString());
        QuendrilTextView& v = view();
        const qsizetype bytes = v.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
        const auto* buffer = reinterpret_cast<const char*>(
            v.SendScintilla(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
        const QString inScintilla = QString::fromUtf8(buffer, bytes);
        ASSERT_EQ(v.storage(), inScintilla) << "the editor's copy left Scintilla's text";
        ASSERT_EQ(m_shadow, v.storage()) << "the reports do not describe the change";
        const TextRange selection = v.selectedRange();
        ASSERT_TRUE(selection.lower >= 0 && selection.upper <= v.length());
        ASSERT_EQ(v.positions().toUnits(v.positions().toBytes(selection.upper)), selection.upper);
    }

    // Undo everything, which must give the loaded text back, then redo what that undid, which
    // must give the text of now back (steps undone earlier stay on the redo stack).
    void unwind()
    {
        UndoHistory& history = view().undoHistory();
        const QString now = view().storage();
        const qsizetype redoable = history.redoCount();
        for (int guard = 0; history.canUndo() && guard < 100'000; ++guard)
            view().undo();
        EXPECT_EQ(view().storage(), m_initial);
        EXPECT_EQ(m_shadow, m_initial);
        while (history.redoCount() > redoable)
            view().redo();
        EXPECT_EQ(view().storage(), now);
        EXPECT_EQ(m_shadow, now);
    }

private:
    qsizetype pick(qsizetype n)
    {
        return n <= 0 ? 0 : std::uniform_int_distribution<qsizetype>(0, n - 1)(m_random);
    }

    TextViewEditor m_editor{Settings{}, BuiltInThemes::mariana()};
    std::mt19937 m_random;
    QString m_last;
    std::optional<QString> m_pasteboard;
    QString m_shadow;
    QString m_initial;
};

} // namespace

TEST(EditorModel, ReportsAndTheEditorsCopyFollowScintillaThroughRandomEditing)
{
    for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        SCOPED_TRACE(seed);
        Model model(seed);
        for (int i = 0; i < 1500; ++i) {
            model.step();
            model.check(i);
            if (testing::Test::HasFatalFailure())
                return;
        }
        model.unwind();
    }
}
