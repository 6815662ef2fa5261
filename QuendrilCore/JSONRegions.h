#pragma once

#include "QuendrilCore/JSONToken.h"

#include <QList>
#include <QStringView>

#include <optional>

// Finds the JSON objects and arrays that stand on their own lines inside prose, so that only
// those get coloured.
//
//   find(u"Note {not json}\n{\"a\": 1}\nmore") → [{16, 24}]
namespace JSONRegions {

// Ranges of UTF-16 positions, ascending, of the values found: each starts at a line's first "{"
// or "[" after spaces and tabs and ends just before the LF after the value (or at the end), and
// holds exactly one valid JSON value. With a limit, only regions with start ≤ limit.upper and
// end ≥ limit.lower are reported. The work is bounded by 4 × length + 1,000,000 steps; when
// they run out the regions found so far are returned.
[[nodiscard]] QList<JSONRange> find(QStringView text, std::optional<JSONRange> limit = std::nullopt);

} // namespace JSONRegions
