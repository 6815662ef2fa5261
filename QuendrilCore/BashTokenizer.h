#pragma once

#include "QuendrilCore/CodeToken.h"
#include "QuendrilCore/TextSpan.h"

#include <QList>
#include <QStringView>

#include <string_view>
#include <unordered_set>

// Colours the body of a bash block: commands, keywords, strings, comments, variables, flags and
// operators, tracking whether a word stands where a command would (at the start, after a line
// break, "|", "&", ";", "(" or "$(" ). Numbers are never produced.
namespace BashTokenizer {

// The 20 words coloured as keywords in command position, matched case-sensitively.
[[nodiscard]] const std::unordered_set<std::u16string_view>& keywords();

// The tokens of `range` of `text` (reading nothing outside it), in text order, positions in the
// whole text.
[[nodiscard]] QList<CodeToken> tokens(QStringView text, TextSpan range);

} // namespace BashTokenizer
