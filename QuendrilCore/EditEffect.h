#pragma once

#include "QuendrilCore/SheetFile.h"

#include <QString>

// What applying an edit did beyond changing the text.
struct EditEffect {
    enum class Kind {
        normal,
        // The edit started a new sheet; `old` now holds `text` on disk.
        startedNewSheet,
    };
    Kind kind = Kind::normal;
    SheetFile old;
    QString text;

    static EditEffect normal() { return {}; }
    static EditEffect startedNewSheet(SheetFile old, QString text)
    {
        return {Kind::startedNewSheet, std::move(old), std::move(text)};
    }

    bool operator==(const EditEffect&) const = default;
};
