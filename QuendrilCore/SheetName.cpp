#include "QuendrilCore/SheetName.h"

#include <algorithm>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int number(QByteArrayView bytes, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i)
        value = value * 10 + (bytes[i] - '0');
    return value;
}

constexpr qint64 unixEpochJulianDay = 2440588;

int offsetAt(const QTimeZone& zone, qint64 utcSeconds)
{
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC));
}

// The UTC second of a local wall-clock second. Where the clock repeats an hour, the first
// occurrence (the larger offset) wins; where it skips one, the offset from before the skip is
// used, so 02:30 in a skipped hour lands at 03:30 of the new offset. Zones change their offset
// at most once in two days, so the offsets a day either side are the only candidates.
qint64 utcOfLocal(qint64 local, const QTimeZone& zone)
{
    if (!zone.isValid())
        return local;
    const int before = offsetAt(zone, local - 86400);
    const int after = offsetAt(zone, local + 86400);
    const int first = std::max(before, after);
    const int second = std::min(before, after);
    if (offsetAt(zone, local - first) == first)
        return local - first;
    if (offsetAt(zone, local - second) == second)
        return local - second;
    return local - before;
}

} // namespace

namespace SheetName {

QString fileName(const QDateTime& date, const QSet<QString>& existing, const QTimeZone& calendar)
{
    const QDateTime local = calendar.isValid() ? date.toTimeZone(calendar) : date;
    const QDate day = local.date();
    const QTime time = local.time();
    const QString base =
        QString::asprintf("%04d-%02d-%02d %02d.%02d.%02d", day.isValid() ? day.year() : 0,
                          day.isValid() ? day.month() : 0, day.isValid() ? day.day() : 0,
                          time.isValid() ? time.hour() : 0, time.isValid() ? time.minute() : 0,
                          time.isValid() ? time.second() : 0);
    QString name = QString(base + u'.' + fileExtension);
    for (int counter = 2; existing.contains(name); ++counter)
        name = QString(base + u' ' + QString::number(counter) + u'.' + fileExtension);
    return name;
}

std::optional<QDateTime> date(QStringView fileName, const QTimeZone& calendar)
{
    return date(QByteArrayView(fileName.toUtf8()), calendar);
}

std::optional<QDateTime> date(QByteArrayView name, const QTimeZone& calendar)
{
    if (!name.endsWith(".txt"))
        return std::nullopt;
    const QByteArrayView stem = name.chopped(4);
    if (stem.size() < 19)
        return std::nullopt;
    if (stem.size() > 19) {
        if (stem[19] != ' ' || stem.size() < 21)
            return std::nullopt;
        for (qsizetype i = 20; i < stem.size(); ++i) {
            if (!isDigit(stem[i]))
                return std::nullopt;
        }
    }
    if (stem[4] != '-' || stem[7] != '-' || stem[10] != ' ' || stem[13] != '.' || stem[16] != '.')
        return std::nullopt;
    for (const qsizetype at : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18}) {
        if (!isDigit(stem[at]))
            return std::nullopt;
    }
    const int year = number(stem, 0, 4);
    const int month = number(stem, 5, 2);
    const int day = number(stem, 8, 2);
    const int hour = number(stem, 11, 2);
    const int minute = number(stem, 14, 2);
    const int second = number(stem, 17, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const QDate calendarDay(year, month, day);
    if (!calendarDay.isValid())
        return std::nullopt;
    const qint64 local = calendarDay.toJulianDay() * 86400 + hour * 3600 + minute * 60 + second -
                         unixEpochJulianDay * 86400;
    return QDateTime::fromSecsSinceEpoch(utcOfLocal(local, calendar), Qt::UTC);
}

} // namespace SheetName
