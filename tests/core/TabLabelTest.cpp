#include "QuendrilCore/TabLabel.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {
QDateTime at(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate); }
} // namespace

TEST(TabLabel, FirstLineSkipsBlankLines)
{
    struct Row {
        const char* name;
        QString text;
        QString expected;
    };
    const Row rows[] = {
        {"empty", u""_qs, u""_qs},
        {"only blank lines", u"  \n\t\r\n \r"_qs, u""_qs},
        {"trimmed", u"   Shopping list  \nmilk"_qs, u"Shopping list"_qs},
        {"after CR LF and lone CR", u"\r\n\r  x\r\ny"_qs, u"x"_qs},
        {"200 spaces count as blank", QString(200, u' ') + u"hidden\nnext"_qs, u"next"_qs},
        {"199 spaces do not", QString(199, u' ') + u"shown\nnext"_qs, u"s"_qs},
        {"other white space is kept", u"\u00A0a\u00A0"_qs, u"\u00A0a\u00A0"_qs},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TabLabel::firstLine(row.text), row.expected);
    }
}

TEST(TabLabel, TitlesAreCutByUserPerceivedCharacters)
{
    const QTimeZone zone("Europe/London");
    const QDateTime now = at("2024-03-06T10:00:00Z");
    const QString family = u"👩‍👩‍👧"_qs;   // one character of five code points
    const QString accented = u"e\u0301"_qs; // e and a combining acute accent
    struct Row {
        const char* name;
        QString text;
        QString expected;
    };
    const Row rows[] = {
        {"empty is New", u"\n  \n"_qs, u"New"_qs},
        {"24 characters stay whole", QString(24, u'a'), QString(24, u'a')},
        {"30 characters are cut to 23 and an ellipsis", QString(30, u'b'), QString(23, u'b') + u"…"_qs},
        {"emoji sequences count once", family.repeated(25), family.repeated(23) + u"…"_qs},
        {"combining marks count with their letter", accented.repeated(24), accented.repeated(24)},
        {"flags count once", u"🇬🇧"_qs.repeated(25), u"🇬🇧"_qs.repeated(23) + u"…"_qs},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TabLabel::label(row.text, std::nullopt, now, zone), row.expected);
        EXPECT_EQ(TabLabel::label(row.text, now.addSecs(-3600), now, zone), row.expected)
            << "a sheet started today carries no date";
    }
    EXPECT_EQ(TabLabel::label(u"Notes"_qs, now.addDays(-1), now, zone), u"Notes · Tue 5 Mar"_qs);
}

TEST(TabLabel, DatesAreBritishEnglishInTheGivenZone)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QDateTime date = at("2024-03-05T23:03:09Z");
    EXPECT_EQ(TabLabel::shortDate(date, QTimeZone::utc()), u"Tue 5 Mar"_qs);
    EXPECT_EQ(TabLabel::shortDate(date, QTimeZone("Asia/Tokyo")), u"Wed 6 Mar"_qs);
    EXPECT_EQ(TabLabel::tooltip(date, QTimeZone::utc()), u"Tuesday 5 March 2024, 23:03:09"_qs);
    EXPECT_EQ(TabLabel::tooltip(std::nullopt, QTimeZone::utc()), u"New sheet, not saved yet"_qs);
    // The same calendar day in the zone decides whether a date suffix appears.
    EXPECT_EQ(TabLabel::label(u"x"_qs, date, at("2024-03-06T08:00:00Z"), QTimeZone("Asia/Tokyo")), u"x"_qs);
    QLocale::setDefault(previous);
}
