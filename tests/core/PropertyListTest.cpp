#include "QuendrilCore/AppFolder.h"
#include "QuendrilCore/PropertyList.h"

#include "TempDir.h"

#include <QDateTime>

#include <gtest/gtest.h>

TEST(PropertyList, ReadsTheValueKinds)
{
    const auto value =
        PropertyList::parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                            "<plist version=\"1.0\"><dict>\n"
                            "  <key>s</key><string>a &amp; b</string>\n"
                            "  <key>i</key><integer>-42</integer>\n"
                            "  <key>r</key><real>2.5</real>\n"
                            "  <key>t</key><true/>\n"
                            "  <key>f</key><false/>\n"
                            "  <key>d</key><data>aGVs\n bG8=</data>\n"
                            "  <key>date</key><date>2024-03-05T09:07:03Z</date>\n"
                            "  <key>a</key><array><string>x</string><dict/></array>\n"
                            "  <key>empty</key><string/>\n"
                            "</dict></plist>\n");
    ASSERT_TRUE(value);
    const QVariantMap map = value->toMap();
    EXPECT_EQ(map.value("s").toString(), "a & b");
    EXPECT_EQ(map.value("i").typeId(), QMetaType::LongLong);
    EXPECT_EQ(map.value("i").toLongLong(), -42);
    EXPECT_EQ(map.value("r").toDouble(), 2.5);
    EXPECT_EQ(map.value("t").typeId(), QMetaType::Bool);
    EXPECT_TRUE(map.value("t").toBool());
    EXPECT_FALSE(map.value("f").toBool());
    EXPECT_EQ(map.value("d").toByteArray(), "hello");
    EXPECT_EQ(map.value("date").toDateTime().toSecsSinceEpoch(), 1709629623);
    EXPECT_EQ(map.value("a").toList().size(), 2);
    EXPECT_EQ(map.value("empty").typeId(), QMetaType::QString);
}

TEST(PropertyList, RefusesMalformedLists)
{
    const char* rows[] = {
        "",
        "<dict></dict>",
        "<plist><dict><key>a</key></dict></plist>",
        "<plist><dict><key>a</key><string>1</string><key>a</key><string>2</string></dict></plist>",
        "<plist><dict><string>no key</string></dict></plist>",
        "<plist><integer>1.5</integer></plist>",
        "<plist><string>a</string><string>b</string></plist>",
        "<plist><dict></dict></plist><plist/>",
        "<plist><dict><key>a</key><string>unclosed</dict></plist>",
        "<plist><unknown/></plist>",
        "<plist><true>x</true></plist>",
    };
    for (const char* row : rows) {
        SCOPED_TRACE(row);
        EXPECT_FALSE(PropertyList::parse(row));
    }
}

TEST(PropertyList, DecimalIntegersOnly)
{
    EXPECT_EQ(PropertyList::decimalInteger("12"), 12);
    EXPECT_EQ(PropertyList::decimalInteger("+12"), 12);
    EXPECT_EQ(PropertyList::decimalInteger("-12"), -12);
    for (const char* text : {"", " 12", "12 ", "0x10", "1e3", "12a", "99999999999999999999"})
        EXPECT_EQ(PropertyList::decimalInteger(QString::fromLatin1(text)), std::nullopt) << text;
}

TEST(AppFolder, TheExecutableSitsInContentsBin)
{
    TempDir temp;
    temp.write(QStringLiteral("Quendril Pad.app/Contents/Info.plist"), "<plist/>");
    temp.write(QStringLiteral("Quendril Pad.app/Contents/bin/quendril-pad"), "x");
    EXPECT_EQ(AppFolder::containing(
                  temp.filePath(QStringLiteral("Quendril Pad.app/Contents/bin/quendril-pad"))),
              temp.filePath(QStringLiteral("Quendril Pad.app")));
    EXPECT_EQ(AppFolder::containing(QStringLiteral("/usr/bin/quendril-pad")), std::nullopt);
    temp.write(QStringLiteral("Plain/Contents/Info.plist"), "<plist/>");
    EXPECT_EQ(
        AppFolder::containing(temp.filePath(QStringLiteral("Plain/Contents/bin/quendril-pad"))),
        std::nullopt);
}
