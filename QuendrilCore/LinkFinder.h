#pragma once

#include "QuendrilCore/FoundLink.h"
#include "QuendrilCore/TextRange.h"
#include "QuendrilCore/TextSpan.h"

#include <QList>
#include <QStringView>

#include <optional>

// Recognises http and https addresses in plain text. A link starts at a word boundary with
// "http://" or "https://" in any case, runs to the first white space, control or format
// character, quotation mark, "<", ">" or grave accent, and loses trailing punctuation
// (. , ; : ! ? ') and closing brackets that have no opening partner inside it; what remains must
// parse as a URL with a host.
//
//   LinkFinder::links(u"see https://example.org/a.", {0, 26})  // one link, (4, 21)
namespace LinkFinder {

// All links that start inside `range`, in order; a link is cut at the range's end.
[[nodiscard]] QList<FoundLink> links(QStringView text, TextSpan range);

// The link containing `position` (location <= position < end), scanning only its line; none
// outside the text.
[[nodiscard]] std::optional<FoundLink> linkAt(qsizetype position, QStringView text);

// The first link overlapping `range`, or for a caret the first link with start <= caret <= end
// (a caret just after a link touches it), scanning only the lines of the range; none for a range
// longer than 1,000,000 units or outside the text.
[[nodiscard]] std::optional<FoundLink> linkTouching(TextRange range, QStringView text);

} // namespace LinkFinder
