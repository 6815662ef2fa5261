#pragma once

#include <QDateTime>
#include <QString>

// One entry of a folder scan: the file name (no folder), its size in bytes and the sheet's date.
struct ScannedSheet {
    QString name;
    qint64 size = 0;
    QDateTime date;

    bool operator==(const ScannedSheet&) const = default;
};
