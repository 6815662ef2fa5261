#pragma once

#include "QuendrilCore/TextEdit.h"
#include "QuendrilCore/TextRange.h"
#include "QuendrilCore/TextSpan.h"

#include <QString>

#include <functional>
#include <optional>

class QsciScintillaBase;
class TextPositions;
class UndoHistory;

// Keeps a UTF-16 copy of a Scintilla document's text in step with every change, records each
// change in the undo history, and tells its owner about each change before it happens (in the
// positions of the text before it) and after. Scintilla announces a change before it makes it;
// the after-notices are masked out (its accessibility code counts characters from the start of
// the text on each of them), so a change is completed when the next one begins or when the call
// that caused it returns (`finish`).
class TextChangeTracker {
public:
    TextChangeTracker(QsciScintillaBase* editor, TextPositions& positions, UndoHistory& undo);

    std::function<void(const TextEdit&)> onWillChange;
    std::function<void(TextSpan edited, qsizetype changeInLength)> onDidChange;

    // Scintilla's modification notice.
    void modified(int position, int type, int length);
    // Completes the change in progress: the text is in, the copy and the owner follow.
    void finish();
    // The copy, complete.
    const QString& text()
    {
        finish();
        return m_text;
    }
    qsizetype length() const { return m_text.size(); }

    // Replaces `range` by `replacement` as one reported change.
    void replace(TextRange range, const QString& replacement);
    // Sets the whole text with no report and no record.
    void load(const QString& text);

private:
    // Whether the change now at [lower, upper) may have made, split or undone a CR LF pair.
    bool touchesLineEnd(qsizetype lower, qsizetype upper) const;

    // The change Scintilla announced and has not yet been completed here.
    struct Change {
        bool insertion = false;
        qsizetype bytePosition = 0;
        qsizetype byteLength = 0;
        qsizetype units = 0;
        bool textKnown = false;
        QString text;
    };

    QsciScintillaBase* m_editor;
    TextPositions& m_positions;
    UndoHistory& m_undo;
    QString m_text;
    std::optional<Change> m_change;
    // Set while our own call makes the change: it is reported already and its text is known.
    std::optional<QString> m_callerText;
    bool m_loading = false;
};
