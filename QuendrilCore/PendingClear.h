#pragma once

#include "QuendrilCore/SheetFile.h"

#include <QDateTime>
#include <QString>

#include <optional>

// A select-all-and-type whose old text is not yet safely on disk.
struct PendingClear {
    // Where the old text belongs; none if it had no file yet.
    std::optional<SheetFile> file;
    // The old text's start time, for a sheet that had no file.
    std::optional<QDateTime> startTime;
    QString text;

    bool operator==(const PendingClear&) const = default;
};
