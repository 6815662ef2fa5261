#include "QuendrilCore/SheetName.h"

#include <gtest/gtest.h>

namespace {

const QTimeZone berlin("Europe/Berlin");
const QTimeZone newYork("America/New_York");
const QTimeZone kathmandu("Asia/Kathmandu");

QDateTime at(const QTimeZone& zone, int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), zone);
}

} // namespace

TEST(SheetName, FileNameForADate)
{
    const struct {
        const char* name;
        QDateTime date;
        QTimeZone calendar;
        QSet<QString> existing;
        QString expected;
    } rows[] = {
        {"zero padded", at(berlin, 2024, 3, 5, 9, 7, 3), berlin, {}, u"2024-03-05 09.07.03.txt"_qs},
        {"24-hour clock",
         at(berlin, 2024, 3, 5, 23, 59, 59),
         berlin,
         {},
         u"2024-03-05 23.59.59.txt"_qs},
        {"in the calendar's zone",
         at(QTimeZone::utc(), 2024, 3, 5, 23, 30, 0),
         kathmandu,
         {},
         u"2024-03-06 05.15.00.txt"_qs},
        {"milliseconds dropped",
         at(berlin, 2024, 3, 5, 9, 7, 3).addMSecs(999),
         berlin,
         {},
         u"2024-03-05 09.07.03.txt"_qs},
        {"third of a kind",
         at(berlin, 2024, 3, 5, 9, 7, 3),
         berlin,
         {u"2024-03-05 09.07.03.txt"_qs, u"2024-03-05 09.07.03 2.txt"_qs},
         u"2024-03-05 09.07.03 3.txt"_qs},
        {"only the suffixed one taken",
         at(berlin, 2024, 3, 5, 9, 7, 3),
         berlin,
         {u"2024-03-05 09.07.03 2.txt"_qs},
         u"2024-03-05 09.07.03.txt"_qs},
        {"exact comparison",
         at(berlin, 2024, 3, 5, 9, 7, 3),
         berlin,
         {u"2024-03-05 09.07.03.TXT"_qs},
         u"2024-03-05 09.07.03.txt"_qs},
        {"before year 1000",
         at(QTimeZone::utc(), 999, 1, 2, 3, 4, 5),
         QTimeZone::utc(),
         {},
         u"0999-01-02 03.04.05.txt"_qs},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SheetName::fileName(row.date, row.existing, row.calendar), row.expected);
    }
}

TEST(SheetName, DateFromAFileName)
{
    const QDateTime expected = at(berlin, 2024, 3, 5, 9, 7, 3).toUTC();
    const struct {
        const char* name;
        QString fileName;
        bool parses;
    } rows[] = {
        {"plain", u"2024-03-05 09.07.03.txt"_qs, true},
        {"counter", u"2024-03-05 09.07.03 2.txt"_qs, true},
        {"two-digit counter", u"2024-03-05 09.07.03 12.txt"_qs, true},
        {"space without counter", u"2024-03-05 09.07.03 .txt"_qs, false},
        {"letter counter", u"2024-03-05 09.07.03 x.txt"_qs, false},
        {"counter without space", u"2024-03-05 09.07.032.txt"_qs, false},
        {"upper-case extension", u"2024-03-05 09.07.03.TXT"_qs, false},
        {"no extension", u"2024-03-05 09.07.03"_qs, false},
        {"month 13", u"2024-13-05 09.07.03.txt"_qs, false},
        {"day 0", u"2024-03-00 09.07.03.txt"_qs, false},
        {"hour 24", u"2024-03-05 24.00.00.txt"_qs, false},
        {"minute 60", u"2024-03-05 09.60.00.txt"_qs, false},
        {"second 60", u"2024-03-05 09.07.60.txt"_qs, false},
        {"colons", u"2024-03-05 09:07:03.txt"_qs, false},
        {"short", u"2024-03-05 9.07.03.txt"_qs, false},
        {"sign in a field", u"2024-03-05 09.-7.03.txt"_qs, false},
        {"non-ASCII digit", u"2024-03-05 09.07.0\u0663.txt"_qs, false},
        {"non-ASCII counter", u"2024-03-05 09.07.03 \u0663.txt"_qs, false},
        {"empty", QString(), false},
        {"just the extension", u".txt"_qs, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<QDateTime> parsed = SheetName::date(row.fileName, berlin);
        EXPECT_EQ(parsed.has_value(), row.parses);
        if (parsed && row.parses) {
            EXPECT_EQ(*parsed, expected);
            EXPECT_EQ(parsed->timeSpec(), Qt::UTC);
        }
    }
    // A day the calendar does not have.
    EXPECT_FALSE(SheetName::date(u"2023-02-30 10.00.00.txt", berlin));
    EXPECT_EQ(SheetName::date(u"2024-02-29 10.00.00.txt", berlin),
              at(berlin, 2024, 2, 29, 10, 0, 0));
}

TEST(SheetName, NamesAndDatesRoundTripAcrossDaylightSavingDays)
{
    // Every 7 minutes and 13 seconds through the changeover days of three zones (one with a
    // 45-minute offset): an instant's name parses back to that instant, except in the hour that
    // a clock repeats, where both instants share a name and it stands for the first of them.
    const struct {
        const char* name;
        QTimeZone zone;
        QDate day;
    } rows[] = {
        {"Berlin spring", berlin, QDate(2024, 3, 31)},
        {"Berlin autumn", berlin, QDate(2024, 10, 27)},
        {"New York spring", newYork, QDate(2024, 3, 10)},
        {"New York autumn", newYork, QDate(2024, 11, 3)},
        {"Kathmandu", kathmandu, QDate(2024, 6, 1)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(row.zone.isValid());
        const QDateTime start = QDateTime(row.day, QTime(0, 0), row.zone).toUTC();
        for (qint64 s = 0; s < 26 * 3600; s += 433) {
            const QDateTime instant = start.addSecs(s);
            const QString name = SheetName::fileName(instant, {}, row.zone);
            const std::optional<QDateTime> back = SheetName::date(name, row.zone);
            ASSERT_TRUE(back) << name.toStdString();
            EXPECT_EQ(SheetName::fileName(*back, {}, row.zone), name);
            // Where the clock went back by d, the instant d earlier may carry the same name.
            const int d =
                row.zone.offsetFromUtc(instant.addSecs(-3600)) - row.zone.offsetFromUtc(instant);
            const QDateTime earlier = instant.addSecs(-d);
            const bool repeated = d > 0 && SheetName::fileName(earlier, {}, row.zone) == name;
            EXPECT_EQ(*back, repeated ? earlier : instant) << name.toStdString();
        }
    }
}

TEST(SheetName, LocalTimesThatDoNotExistStillGiveADate)
{
    // 02:30 is skipped in Berlin on 31 March 2024; the name still belongs to that day.
    const std::optional<QDateTime> skipped = SheetName::date(u"2024-03-31 02.30.00.txt", berlin);
    ASSERT_TRUE(skipped);
    EXPECT_GE(*skipped, at(berlin, 2024, 3, 31, 1, 59, 59));
    EXPECT_LE(*skipped, at(berlin, 2024, 3, 31, 3, 30, 0));
}
