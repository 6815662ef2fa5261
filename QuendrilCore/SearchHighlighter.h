#pragma once

#include "QuendrilCore/SearchHit.h"
#include "QuendrilCore/SearchQuery.h"

#include <QStringView>

#include <optional>

// Finds what to show for a sheet that matched a search.
namespace SearchHighlighter {

// The line holding the earliest occurrence of any term in `text`, found blind to case and
// accents with positions in the original text; a line over 300 units is cut to a window around
// the match with "…" where it was cut. None for an empty query or when no term occurs.
[[nodiscard]] std::optional<SearchHit> firstMatch(QStringView text, const SearchQuery& query);

} // namespace SearchHighlighter
