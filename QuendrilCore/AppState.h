#pragma once

#include "QuendrilCore/Result.h"
#include "QuendrilCore/TabState.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

enum class AppStateError { folderNotCreated, writeFailed };

// The record of state.json: the open tabs, the front tab, the window frame ("{{x, y}, {w, h}}"),
// the days of writing and the quick-note size ("{w, h}").
struct AppState {
    QList<TabState> tabs;
    qint64 activeIndex = 0;
    std::optional<QString> windowFrame;
    QStringList writingDays;
    std::optional<QString> quickNoteSize;

    bool operator==(const AppState&) const = default;

    // The state in `url`; none when the file cannot be read or any value in it is missing or of
    // the wrong JSON type (one bad tab discards the whole file).
    [[nodiscard]] static std::optional<AppState> load(const QString& url);
    [[nodiscard]] static std::optional<AppState> decode(const QByteArray& json);

    // Pretty-printed JSON, keys sorted at every level, absent optionals left out.
    [[nodiscard]] QByteArray encoded() const;

    // Writes `encoded()` atomically to `url`, creating its folders.
    [[nodiscard]] Result<void, AppStateError> save(const QString& url) const;

    // A cleaned copy for launch: tabs without a path or whose file is gone are dropped, kept tabs
    // without a last-used day get `today`, the front tab follows, and a state left without tabs
    // gets one new empty sheet.
    [[nodiscard]] AppState restored(const std::function<bool(const QString& path)>& fileExists,
                                    const QString& today) const;
};
