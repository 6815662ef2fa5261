#pragma once

#include "QuendrilCore/TextSpan.h"

#include <QList>
#include <QStringView>

// The positions at which the lines of one text begin, for line numbers, the caret's line and
// column and "go to line". Only LF starts a line here (CR, U+0085, U+2028 and U+2029 do not):
// the index of an empty text is [0], and a text ending with LF has a last, empty line starting
// at its length. Keep it valid with update() after each edit, or rebuild() it.
//
//   LineIndex index(u"a\nb");          // starts() == [0, 2]
//   index.update({1, 1}, 1, u"ax\nb"); // one unit typed at 1: starts() == [0, 3]
class LineIndex {
public:
    // The index of an empty text.
    LineIndex() = default;
    // The index of `text`.
    explicit LineIndex(QStringView text);

    // Ascending line starts; the first is always 0.
    [[nodiscard]] QList<qsizetype> starts() const;
    // Number of lines, the number of entries.
    qsizetype lineCount() const { return m_starts.size(); }
    // 1-based number of the line holding `position`: the count of entries <= position.
    [[nodiscard]] qsizetype lineNumber(qsizetype position) const;
    // The start of the line holding `position` (entry 0 for a position before it).
    [[nodiscard]] qsizetype lineStart(qsizetype position) const;

    // Recomputes the index for `text` from scratch.
    void rebuild(QStringView text);
    // Brings the index up to date after one edit, rescanning only the edited range: `editedRange`
    // is where the replacement now lies in `text` (the new text), `changeInLength` the new length
    // minus the old.
    void update(TextSpan editedRange, qsizetype changeInLength, QStringView text);

    // The positions just after each LF inside `range` of `text`, ascending.
    [[nodiscard]] static QList<qsizetype> newlineStarts(QStringView text, TextSpan range);

    // Equal when the line starts are equal.
    bool operator==(const LineIndex& other) const;

private:
    qsizetype entry(qsizetype k) const { return m_starts[k] + (k >= m_shiftFrom ? m_shift : 0); }
    // The first entry index in [from, count) whose line start is greater than `position`.
    qsizetype firstAfter(qsizetype position, qsizetype from = 0) const;
    // Moves the pending shift's first index to `index`, writing the difference into the entries
    // in between.
    void moveShiftTo(qsizetype index);

    // Entries from m_shiftFrom on are stored without m_shift: an edit adds to m_shift instead of
    // to every following entry, and only the entries between two edits' places are rewritten, so
    // typing costs the distance between keystrokes, not the length of the text.
    QList<qsizetype> m_starts{0};
    qsizetype m_shiftFrom = 1;
    qsizetype m_shift = 0;
};
