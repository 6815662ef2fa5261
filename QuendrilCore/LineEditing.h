#pragma once

#include "QuendrilCore/EditResult.h"
#include "QuendrilCore/TextRange.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The editor's line commands as pure functions of the text and the selection, and the line rules
// they rest on.
//
// Line rules: a line ends after a terminator, which is LF, CR, the pair CR LF (one terminator),
// U+0085, U+2028 or U+2029; the terminator belongs to its line. (The line numbers of LineIndex
// count LF only.) Every selection is a half-open range inside the text; positions are UTF-16.
//
//   const EditResult r = LineEditing::duplicateLine(u"a\nb", {0, 0});
//   // r.edit inserts "a\n" at 2, r.selection is the caret {2, 2}
namespace LineEditing {

// True for a code unit that is, or starts, a line terminator (LF, CR, U+0085, U+2028, U+2029).
[[nodiscard]] bool isLineTerminator(QChar unit);

// The line holding `position`, terminator included: from just after the last terminator ending
// at or before it to the end of the first terminator ending after it. At the length of a text
// that ends with a terminator this is the empty range at the end.
[[nodiscard]] TextRange lineRange(QStringView text, qsizetype position);

// The lines touched by `range`: for an empty range the line holding it, otherwise from the start
// of the line holding `lower` to the end of the line holding `upper - 1`.
[[nodiscard]] TextRange linesTouched(QStringView text, TextRange range);

// The block of whole lines a command works on: the lines touched by the selection, where a
// selection that ends just after a CR or LF does not take in the next line.
[[nodiscard]] TextRange linesBlock(QStringView text, TextRange selection);

// The start of every line in `block` (a result of linesBlock), ascending; at least one entry.
[[nodiscard]] QList<qsizetype> lineStarts(QStringView text, TextRange block);

// The run of spaces and tabs from `lineStart`, ending at the first other code unit, at `limit`
// (exclusive) or at the text's end.
[[nodiscard]] QString leadingWhitespace(QStringView text, qsizetype lineStart, qsizetype limit);

// The selection after "select line": the block of whole lines, or, when the selection already is
// that block, the block grown by the next line.
[[nodiscard]] TextRange selectLine(QStringView text, TextRange selection);

// A caret duplicates its line, keeping its column in the copy; a selection duplicates only the
// selected text and selects the copy.
[[nodiscard]] EditResult duplicateLine(QStringView text, TextRange selection);

// Deletes the block of whole lines (the last line takes the terminator before it); the caret goes
// to the start of the line that then holds the deletion point.
[[nodiscard]] EditResult deleteLine(QStringView text, TextRange selection);

// Swaps the block with the line above (`up`) or below; none when there is no such line.
[[nodiscard]] std::optional<EditResult> moveLines(QStringView text, TextRange selection, bool up);

// Puts one tab in front of every line of the block.
[[nodiscard]] EditResult indent(QStringView text, TextRange selection);

// Removes one leading tab, or else up to `tabWidth` leading spaces (none when it is below 1), from
// every line of the block.
[[nodiscard]] EditResult outdent(QStringView text, TextRange selection, int tabWidth);

// Joins the block's lines (a one-line block with the next line) with single spaces, dropping the
// indentation of the joined lines; the no-op edit when there is nothing to join.
[[nodiscard]] EditResult joinLines(QStringView text, TextRange selection);

// Opens a new line below or above the line holding the selection's start, with that line's
// indentation, and puts the caret at the end of the new indentation.
[[nodiscard]] EditResult insertLine(QStringView text, TextRange selection, bool below);

// Replaces the selection with a line break and the indentation found before the caret on its
// line (Return keeping the indent).
[[nodiscard]] EditResult newline(QStringView text, TextRange selection);

// Backspace and Delete: removes the selection, or else the character before or after the caret;
// a CR LF pair and a surrogate pair go as one, a combining mark alone. None when there is
// nothing to remove.
[[nodiscard]] std::optional<EditResult> deleteBackward(QStringView text, TextRange selection);
[[nodiscard]] std::optional<EditResult> deleteForward(QStringView text, TextRange selection);

} // namespace LineEditing
