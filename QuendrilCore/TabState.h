#pragma once

#include <QString>

#include <optional>

// One tab of state.json.
struct TabState {
    // The sheet's file; absent for a sheet that has no file yet.
    std::optional<QString> path;
    // Start of the selection, in UTF-16 code units.
    qint64 caret = 0;
    // Top edge of the visible part of the text, in points.
    double scrollY = 0;
    bool pinned = false;
    // The day string of the tab's last use.
    std::optional<QString> lastUsed;

    bool operator==(const TabState&) const = default;
};
