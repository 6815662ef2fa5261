#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimeZone>

// Which tabs close by themselves: a tab closes once the user has written on `limit` other days
// since it was last used. Days are day strings ("2024-03-07"), compared as plain text.
namespace TabAging {

// The most writing days remembered.
inline constexpr int keptDays = 60;

// One tab as the rule sees it.
struct Candidate {
    QString lastUsed;
    bool isPinned = false;
    bool isActive = false;
    bool isSafeToClose = false;

    bool operator==(const Candidate&) const = default;
};

// The day string of `date` in `calendar`: "%04d-%02d-%02d".
[[nodiscard]] QString day(const QDateTime& date, const QTimeZone& calendar);

// `days` with `newDay` recorded: ascending, no duplicates, at most the newest `keptDays`.
[[nodiscard]] QStringList adding(const QString& newDay, const QStringList& days);

// The indices, ascending, of the candidates to close today. Pinned, front and unsafe tabs never
// close; a tab closes when at least `limit` writing days lie strictly between its last use and
// today. A `limit` of 0 or less turns the rule off.
[[nodiscard]] QList<int> tabsToClose(const QList<Candidate>& candidates,
                                     const QStringList& writingDays, const QString& today,
                                     int limit);

} // namespace TabAging
