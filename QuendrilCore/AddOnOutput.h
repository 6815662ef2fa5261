#pragma once

#include "QuendrilCore/EditResult.h"
#include "QuendrilCore/Result.h"
#include "QuendrilCore/TextRange.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// Turning what an add-on printed into text for the sheet, and placing it under the input.
namespace AddOnOutput {

// Why output cannot go into a sheet.
enum class Problem {
    notText,          // not valid UTF-8
    controlCharacter, // a control character other than tab and line feed
};

// The output as text: strict UTF-8, CR LF and lone CR made LF, trailing line feeds dropped, and
// pretty-printed with indent 4 when it is a JSON object or array. Empty output gives "".
[[nodiscard]] Result<QString, Problem> clean(QByteArrayView output);

// The edit that puts `output` on new lines right under the line of the input range `under` in
// `text`, each non-empty line indented like that line, with the caret after it; none for empty
// output. A range ending in LF (whole lines) anchors on its last line, not the next.
//
//   insert(u"x\n\ny", {3, 3}, u"  ab\ncd")  → inserts "\n  x\n\n  y" at 4, caret at 13
[[nodiscard]] std::optional<EditResult> insert(QStringView output, TextRange under,
                                               QStringView text);

} // namespace AddOnOutput
