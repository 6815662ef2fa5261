#include "QuendrilPad/TextChangeTracker.h"

#include "QuendrilPad/TextPositions.h"
#include "QuendrilPad/UndoHistory.h"

#include <Qsci/qsciscintillabase.h>

namespace {

const char* rangePointer(QsciScintillaBase* editor, qsizetype position, qsizetype length)
{
    return reinterpret_cast<const char*>(
        editor->SendScintilla(QsciScintillaBase::SCI_GETRANGEPOINTER,
                              static_cast<unsigned long>(position), static_cast<long>(length)));
}

} // namespace

TextChangeTracker::TextChangeTracker(QsciScintillaBase* editor, TextPositions& positions,
                                     UndoHistory& undo)
    : m_editor(editor)
    , m_positions(positions)
    , m_undo(undo)
{
}

void TextChangeTracker::modified(int position, int type, int length)
{
    if (!(type & (QsciScintillaBase::SC_MOD_BEFOREINSERT | QsciScintillaBase::SC_MOD_BEFOREDELETE)))
        return;
    finish();
    if (m_loading)
        return; // a load is neither reported nor recorded
    Change change;
    change.insertion = type & QsciScintillaBase::SC_MOD_BEFOREINSERT;
    change.bytePosition = position;
    change.byteLength = length;
    change.units = m_positions.toUnits(position);
    if (change.insertion) {
        // Scintilla gives no text before an insertion; ours is known, any other is read once
        // it is in.
        change.textKnown = m_callerText.has_value();
        if (change.textKnown) {
            change.text = *m_callerText;
            m_undo.recordTextChange({change.units, QString(), change.text});
        }
    } else {
        change.text = QString::fromUtf8(rangePointer(m_editor, position, length), length);
        change.textKnown = true;
        if (!m_callerText && onWillChange)
            onWillChange(TextEdit{{change.units, change.units + change.text.size()}, QString()});
        m_undo.recordTextChange({change.units, change.text, QString()});
    }
    m_change = std::move(change);
}

// A CR before the change, or a CR at its end with an LF after it. Scintilla's caret never
// stands between CR and LF, so ordinary typing never meets this.
bool TextChangeTracker::touchesLineEnd(qsizetype lower, qsizetype upper) const
{
    const auto at = [this](qsizetype i, char c) {
        return i >= 0 && i < m_text.size() && m_text[i] == QLatin1Char(c);
    };
    return at(lower - 1, '\r') || (at(upper - 1, '\r') && at(upper, '\n'));
}

void TextChangeTracker::finish()
{
    if (!m_change)
        return;
    Change change = std::move(*m_change);
    m_change.reset();
    if (change.insertion) {
        if (!change.textKnown) {
            change.text = QString::fromUtf8(
                rangePointer(m_editor, change.bytePosition, change.byteLength), change.byteLength);
            if (onWillChange)
                onWillChange(TextEdit{{change.units, change.units}, change.text});
            m_undo.recordTextChange({change.units, QString(), change.text});
        }
        m_text.insert(change.units, change.text);
        if (touchesLineEnd(change.units, change.units + change.text.size()))
            m_positions.rebuildIndex();
        if (onDidChange)
            onDidChange({change.units, change.text.size()}, change.text.size());
    } else {
        m_text.remove(change.units, change.text.size());
        if (touchesLineEnd(change.units, change.units))
            m_positions.rebuildIndex();
        if (onDidChange)
            onDidChange({change.units, 0}, -change.text.size());
    }
}

void TextChangeTracker::replace(TextRange range, const QString& replacement)
{
    const TextEdit edit{range, replacement};
    if (edit.isNoOp())
        return;
    const qsizetype lower = m_positions.toBytes(range.lower);
    const qsizetype upper = m_positions.toBytes(range.upper);
    if (onWillChange)
        onWillChange(edit);
    const QByteArray utf8 = replacement.toUtf8();
    m_callerText = replacement;
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE,
                            static_cast<unsigned long>(lower), static_cast<long>(upper));
    m_editor->SendScintilla(QsciScintillaBase::SCI_REPLACETARGET,
                            static_cast<unsigned long>(utf8.size()), utf8.constData());
    finish();
    m_callerText.reset();
}

void TextChangeTracker::load(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    finish();
    m_loading = true;
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETTEXT, utf8.constData());
    finish();
    m_loading = false;
    m_text = text;
}
