#pragma once

#include <QString>

// The line to show for a sheet that matched: `line` may be shortened with "…" at either end;
// `rangeInLine` is the match within `line`, `location` and `length` the match within the whole
// sheet text, all in UTF-16 code units.
struct SearchHit {
    struct Range {
        qsizetype location = 0;
        qsizetype length = 0;

        bool operator==(const Range&) const = default;
    };

    QString line;
    Range rangeInLine;
    qsizetype location = 0;
    qsizetype length = 0;

    bool operator==(const SearchHit&) const = default;
};
