#pragma once

#include "QuendrilCore/SheetFile.h"

#include <QString>

// What a save wrote.
struct SaveEvent {
    enum class Kind {
        // A new file was made: `file`.
        created,
        // `file` was written.
        wrote,
        // A pending clear reached the disk: `file` holds `text`, and the document is a new sheet.
        finishedClear,
    };
    Kind kind = Kind::wrote;
    SheetFile file;
    QString text;

    static SaveEvent created(SheetFile file) { return {Kind::created, std::move(file), {}}; }
    static SaveEvent wrote(SheetFile file) { return {Kind::wrote, std::move(file), {}}; }
    static SaveEvent finishedClear(SheetFile old, QString text)
    {
        return {Kind::finishedClear, std::move(old), std::move(text)};
    }

    bool operator==(const SaveEvent&) const = default;
};
