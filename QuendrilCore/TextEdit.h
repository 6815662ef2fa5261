#pragma once

#include "QuendrilCore/TextRange.h"

#include <QString>
#include <QStringView>

// The replacement of `range` (positions in the text before the edit) by `replacement`: an empty
// range is a pure insertion, an empty replacement a pure deletion.
//
//   TextEdit{{2, 4}, u"xy"_s}.applied(u"abcdef") == u"abxyef"
struct TextEdit {
    TextRange range;
    QString replacement;

    // True for the edit that changes nothing: an empty range replaced by nothing. Commands return
    // it when there is nothing to do, and the editor ignores it.
    bool isNoOp() const { return range.isEmpty() && replacement.isEmpty(); }
    // New length minus old length.
    qsizetype changeInLength() const { return replacement.size() - range.length(); }
    // The text with the edit applied; the range must lie inside the text.
    [[nodiscard]] QString applied(QStringView text) const;

    bool operator==(const TextEdit&) const = default;
};
