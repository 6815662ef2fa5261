#include "QuendrilCore/TabAging.h"

#include <algorithm>

namespace TabAging {

QString day(const QDateTime& date, const QTimeZone& calendar)
{
    const QDate local = date.toTimeZone(calendar).date();
    return QString::asprintf("%04d-%02d-%02d", local.year(), local.month(), local.day());
}

QStringList adding(const QString& newDay, const QStringList& days)
{
    if (days.contains(newDay))
        return days;
    QStringList result = days;
    result.append(newDay);
    std::sort(result.begin(), result.end());
    if (result.size() > keptDays)
        result.erase(result.begin(), result.begin() + (result.size() - keptDays));
    return result;
}

QList<int> tabsToClose(const QList<Candidate>& candidates, const QStringList& writingDays,
                       const QString& today, int limit)
{
    QList<int> result;
    if (limit <= 0)
        return result;
    for (qsizetype index = 0; index < candidates.size(); ++index) {
        const Candidate& tab = candidates[index];
        if (tab.isPinned || tab.isActive || !tab.isSafeToClose)
            continue;
        const auto counted = std::count_if(writingDays.begin(), writingDays.end(), [&](const QString& d) {
            return tab.lastUsed < d && d < today;
        });
        if (counted >= limit)
            result.append(int(index));
    }
    return result;
}

} // namespace TabAging
