#pragma once

#include <QString>

// What closing a tab must do with its file.
struct CloseAction {
    enum class Kind { none, moveToTrash };
    Kind kind = Kind::none;
    // The file to move to the Trash.
    QString url;

    static CloseAction none() { return {}; }
    static CloseAction moveToTrash(QString url) { return {Kind::moveToTrash, std::move(url)}; }

    bool operator==(const CloseAction&) const = default;
};
