#pragma once

#include "QuendrilCore/Theme.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// The themes of the Themes folder and the theme last chosen. Theme files are never watched:
// `available` and `select` read the folder afresh each time. Main thread only.
class ThemeManager {
public:
    struct Available {
        QList<Theme> themes; // built-ins merged with the good files
        QStringList broken;  // file names of unreadable or invalid files, in file-name order
    };

    // `folder` is the Themes folder; it need not exist. `current` starts as Paper.
    explicit ThemeManager(QString folder);

    [[nodiscard]] const QString& folder() const { return m_folder; }

    // The theme last chosen by `select`, not yet resolved for the appearance.
    [[nodiscard]] const Theme& current() const { return m_current; }

    // Writes Examples/<name>.json for every built-in theme, replacing what is there, so users
    // have files to copy. Failures are ignored.
    void writeExamples() const;

    // The files directly in the folder whose extension is "json" (any case), in natural
    // file-name order, decoded and merged with the built-ins; an unlistable folder has none.
    [[nodiscard]] Available available() const;

    // Makes the first available theme named `name` (any case) current, else the first such
    // built-in, else Paper; returns it.
    const Theme& select(QStringView name);

    // The status-line message naming the broken files ("Theme file not valid: a.json, b.json"),
    // empty when there are none.
    [[nodiscard]] static QString brokenFilesMessage(const QStringList& broken);

private:
    QString m_folder;
    Theme m_current;
};
