#pragma once

#include "QuendrilCore/CodeToken.h"
#include "QuendrilCore/TextSpan.h"

#include <QList>
#include <QStringView>

#include <string_view>
#include <unordered_set>

// Colours the body of an sql block: keywords (any case), strings, numbers, comments and operators.
// Quoted identifiers and other words get no token.
namespace SQLTokenizer {

// The 101 keywords, upper-case; a word is looked up after upper-casing.
[[nodiscard]] const std::unordered_set<std::u16string_view>& keywords();

// The tokens of `range` of `text` (reading nothing outside it), in text order, positions in the
// whole text.
[[nodiscard]] QList<CodeToken> tokens(QStringView text, TextSpan range);

} // namespace SQLTokenizer
