#pragma once

#include "QuendrilCore/EditResult.h"
#include "QuendrilCore/JSONFormatProblem.h"
#include "QuendrilCore/JSONToken.h"
#include "QuendrilCore/Result.h"
#include "QuendrilCore/TextRange.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// Checking, tokenizing and pretty-printing JSON in one streaming pass, without a document tree.
//
//   JSONFormatter::prettyPrint(u"{\"b\":1,\"a\":[]}", 4)
//       → "{\n    \"b\": 1,\n    \"a\": []\n}"
//
// Bad input is reported only through the result (false, none); nothing here makes messages.
namespace JSONFormatter {

// Largest input, in UTF-8 bytes, that is pretty-printed.
inline constexpr qsizetype maxPrettyPrintBytes = 5 * 1024 * 1024;
// Deepest nesting of objects and arrays accepted anywhere.
inline constexpr int maxDepth = 512;
// Ceiling of the pretty-printer's output limit, in bytes.
inline constexpr qsizetype maxPrettyPrintOutputBytes = 50 * 1024 * 1024;

// True when the bytes are exactly one complete JSON value (scalars included) with only tab, LF,
// CR or space around it; the bytes inside strings are not checked as UTF-8.
[[nodiscard]] bool isValid(QByteArrayView utf8);
// The same over UTF-16 code units.
[[nodiscard]] bool isValid(QStringView units);

// The tokens of the text with `offset` added to every UTF-16 range, or none on a lexical error.
// Only the lexer runs: the order of the tokens is not checked.
[[nodiscard]] std::optional<QList<JSONToken>> tokenize(QStringView units, qsizetype offset = 0);

// The text laid out one member or element per line, `indent` spaces a level (negative counts as
// 0), keys in their order and scalars spelled as they stand; none when the text is over
// maxPrettyPrintBytes of UTF-8, is not one valid object or array once Unicode white space is
// trimmed from its ends, nests deeper than maxDepth, or would print past the output limit.
// No line break at the end.
[[nodiscard]] std::optional<QString> prettyPrint(QStringView text, int indent);
// The same over UTF-8 bytes, giving UTF-8 bytes. Bytes inside strings are copied unchanged, so
// an invalid sequence in the input stays in the output.
[[nodiscard]] std::optional<QByteArray> prettyPrintUTF8(QByteArrayView utf8, int indent);

// Format JSON in an editor: the selection, or the whole text when the selection is empty,
// pretty-printed with an indent of 4, its leading and trailing white space kept. The selection
// after it covers the pretty text, or is a caret at its start when nothing was selected.
//   formatSelection(u"note\n[1,2]\nend", {5, 10}) -> "[\n    1,\n    2\n]" over {5, 10}
[[nodiscard]] Result<EditResult, JSONFormatProblem> formatSelection(QStringView text,
                                                                    TextRange selection);

} // namespace JSONFormatter
