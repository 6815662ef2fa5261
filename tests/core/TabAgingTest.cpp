#include "QuendrilCore/TabAging.h"

#include <gtest/gtest.h>

using TabAging::Candidate;

namespace {
Candidate closable(const char* lastUsed) { return {QString::fromLatin1(lastUsed), false, false, true}; }
} // namespace

TEST(TabAging, DayIsTheLocalCalendarDate)
{
    const QDateTime instant = QDateTime::fromString(u"2024-03-07T23:30:00Z"_qs, Qt::ISODate);
    EXPECT_EQ(TabAging::day(instant, QTimeZone::utc()), u"2024-03-07"_qs);
    EXPECT_EQ(TabAging::day(instant, QTimeZone("Europe/Berlin")), u"2024-03-08"_qs);
    EXPECT_EQ(TabAging::day(instant, QTimeZone("America/New_York")), u"2024-03-07"_qs);
    EXPECT_EQ(TabAging::day(QDateTime::fromString(u"0987-01-02T12:00:00Z"_qs, Qt::ISODate),
                            QTimeZone::utc()),
              u"0987-01-02"_qs);
}

TEST(TabAging, AddingKeepsTheNewestSixtyDaysInOrder)
{
    QStringList days;
    for (int i = 1; i <= 60; ++i)
        days << QString::asprintf("2024-%02d-%02d", 1 + (i - 1) / 28, 1 + (i - 1) % 28);

    EXPECT_EQ(TabAging::adding(days[5], days), days);
    const QStringList newer = TabAging::adding(u"2024-12-31"_qs, days);
    ASSERT_EQ(newer.size(), 60);
    EXPECT_EQ(newer.front(), days[1]);
    EXPECT_EQ(newer.back(), u"2024-12-31"_qs);
    EXPECT_EQ(TabAging::adding(u"2023-06-01"_qs, days), days) << "an older day drops out again";
    EXPECT_EQ(TabAging::adding(u"2024-01-02"_qs, {u"2024-01-03"_qs, u"2024-01-01"_qs}),
              (QStringList{u"2024-01-01"_qs, u"2024-01-02"_qs, u"2024-01-03"_qs}));
}

TEST(TabAging, TabsCloseAfterEnoughDaysOfWriting)
{
    const QStringList writing = {u"2024-03-02"_qs, u"2024-03-03"_qs, u"2024-03-04"_qs};
    struct Row {
        const char* name;
        QList<Candidate> candidates;
        QStringList writingDays;
        const char* today;
        int limit;
        QList<int> expected;
    };
    const Row rows[] = {
        {"third day of writing keeps it", {closable("2024-03-01"), closable("2024-03-04")}, writing,
         "2024-03-04", 3, {}},
        {"the next day closes it", {closable("2024-03-01"), closable("2024-03-04")}, writing,
         "2024-03-05", 3, {0}},
        {"days without writing do not count", {closable("2024-03-01"), closable("2024-03-04")},
         {u"2024-03-02"_qs, u"2024-03-03"_qs}, "2024-09-30", 3, {}},
        {"limit 0 turns the rule off", {closable("2024-03-01"), closable("2024-03-04")}, writing,
         "2024-03-05", 0, {}},
        {"the last-used day itself does not count", {closable("2024-03-02"), closable("2024-03-04")},
         writing, "2024-03-05", 3, {}},
        {"pinned, front and unsafe tabs stay",
         {{u"2024-03-01"_qs, true, false, true}, {u"2024-03-01"_qs, false, true, true},
          {u"2024-03-01"_qs, false, false, false}, closable("2024-03-01")},
         writing, "2024-03-05", 3, {3}},
        {"indices ascend", {closable("2024-03-01"), closable("2024-03-05"), closable("2024-03-01")},
         writing, "2024-03-05", 2, {0, 2}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TabAging::tabsToClose(row.candidates, row.writingDays, QString::fromLatin1(row.today),
                                        row.limit),
                  row.expected);
    }
}
