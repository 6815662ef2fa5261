#pragma once

#include <QDateTime>
#include <QString>

// One sheet that matched a search: its file and its date.
struct SearchResult {
    QString url;
    QDateTime date;

    bool operator==(const SearchResult&) const = default;
};
