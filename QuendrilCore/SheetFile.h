#pragma once

#include <QDateTime>
#include <QHashFunctions>
#include <QString>

// One sheet: the file's absolute path and the sheet's date (from its name, else the file's
// creation time, else 1970-01-01 00:00:00 UTC). Equal, and hashed alike, when both are equal.
struct SheetFile {
    QString url;
    QDateTime date;

    bool operator==(const SheetFile&) const = default;
};

inline size_t qHash(const SheetFile& file, size_t seed = 0)
{
    return qHashMulti(seed, file.url, file.date);
}
