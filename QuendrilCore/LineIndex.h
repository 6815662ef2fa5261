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
    const QList<qsizetype>& starts() const { return m_starts; }
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

    bool operator==(const LineIndex&) const = default;

private:
    QList<qsizetype> m_starts{0};
};
