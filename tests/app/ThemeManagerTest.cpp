#include "QuendrilPad/ThemeManager.h"

#include "QuendrilCore/BuiltInThemes.h"

#include "TempDir.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray themeFile(const char* name, const char* background = "#101010")
{
    Theme theme = BuiltInThemes::mariana();
    theme.name = QString::fromUtf8(name);
    theme.background = QString::fromUtf8(background);
    return theme.encodedPretty();
}

QStringList describe(const QList<Theme>& themes)
{
    QStringList names;
    for (const Theme& theme : themes)
        names << theme.name + u' ' + theme.background;
    return names;
}

const QStringList builtInNames = {"Paper #FBF8F1", "Mariana hsl(210, 15%, 22%)",
                                  "Light hsl(40, 20%, 98%)"};

class ThemeManagerTest : public TempDirTest {
protected:
    QString themes() const { return temp.filePath("Themes"); }
};

} // namespace

TEST_F(ThemeManagerTest, OnlyBuiltInsWithoutFiles)
{
    ThemeManager missing(themes());
    EXPECT_EQ(missing.current(), BuiltInThemes::paper());
    const ThemeManager::Available none = missing.available();
    EXPECT_EQ(describe(none.themes), builtInNames);
    EXPECT_TRUE(none.broken.isEmpty());

    temp.mkdir("Themes");
    EXPECT_EQ(describe(ThemeManager(themes()).available().themes), builtInNames);
}

TEST_F(ThemeManagerTest, WritesTheExamplesAfresh)
{
    ThemeManager manager(themes());
    manager.writeExamples();
    temp.write("Themes/Examples/Paper.json", "edited by the user");
    manager.writeExamples();

    EXPECT_EQ(QDir(themes()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"Examples"});
    EXPECT_EQ(QDir(themes() + "/Examples").entryList(QDir::Files, QDir::Name),
              (QStringList{"Light.json", "Mariana.json", "Paper.json"}));
    for (const Theme& builtIn : BuiltInThemes::all()) {
        SCOPED_TRACE(builtIn.name.toStdString());
        const Result<Theme, ThemeError> example =
            Theme::decode(temp.read("Themes/Examples/" + builtIn.name + ".json"));
        ASSERT_TRUE(example.has_value());
        EXPECT_EQ(*example, builtIn);
    }
    // Being in a subfolder, the examples are not themes of their own.
    const ThemeManager::Available listed = manager.available();
    EXPECT_EQ(describe(listed.themes), builtInNames);
    EXPECT_TRUE(listed.broken.isEmpty());

    // A Themes "folder" that is a file cannot take the examples; nothing fails.
    temp.write("Blocked", "");
    ThemeManager(temp.filePath("Blocked")).writeExamples();
    EXPECT_EQ(temp.read("Blocked"), QByteArray());
}

TEST_F(ThemeManagerTest, ListsMergesAndReportsBrokenFilesTogether)
{
    temp.write("Themes/mine 10.json", themeFile("Mine", "#000010"));
    temp.write("Themes/Mine 9.JSON", themeFile("Mine", "#000009"));
    temp.write("Themes/paper.json", themeFile("paper", "#0000AA"));
    temp.write("Themes/Sunny.json", themeFile("PAPER", "#0000BB"));
    temp.write("Themes/notes.txt", themeFile("Notes"));
    temp.write("Themes/Nested/Deep.json", themeFile("Deep"));
    temp.mkdir("Themes/Folder.json");
    QByteArray badColour = themeFile("Blue");
    badColour.replace("hsl(210, 50%, 60%)", "blue");
    temp.write("Themes/broken 10.json", badColour);
    temp.write("Themes/broken 9.json", "{ not json");
    ASSERT_EQ(::symlink("nowhere.json", QFile::encodeName(themes() + "/dangling.json")), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(themes() + "/pipe.json"), 0600), 0);

    const ThemeManager::Available listed = ThemeManager(themes()).available();
    EXPECT_EQ(describe(listed.themes),
              (QStringList{"paper #0000AA", "Mariana hsl(210, 15%, 22%)", "Light hsl(40, 20%, 98%)",
                           "Mine #000009", "Mine #000010"}));
    EXPECT_EQ(listed.broken,
              (QStringList{"broken 9.json", "broken 10.json", "dangling.json", "pipe.json"}));
    EXPECT_EQ(ThemeManager::brokenFilesMessage(listed.broken),
              u"Theme file not valid: broken 9.json, broken 10.json, dangling.json, pipe.json"_qs);
    EXPECT_EQ(ThemeManager::brokenFilesMessage({}), QString());
}

TEST_F(ThemeManagerTest, SelectsByNameAndReadsFilesAfresh)
{
    temp.write("Themes/paper.json", themeFile("paper", "#0000AA"));
    temp.write("Themes/Mine.json", themeFile("Mine", "#000001"));
    ThemeManager manager(themes());

    struct Row {
        const char* name;
        QString select;
        QString expected;
    };
    const Row rows[] = {
        {"file theme named like a built-in", u"Paper"_qs, u"paper #0000AA"_qs},
        {"built-in in another case", u"mariana"_qs, u"Mariana hsl(210, 15%, 22%)"_qs},
        {"own theme", u"MINE"_qs, u"Mine #000001"_qs},
        {"unknown name", u"Solarized"_qs, u"Paper #FBF8F1"_qs},
        {"no name", u""_qs, u"Paper #FBF8F1"_qs},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Theme& selected = manager.select(row.select);
        EXPECT_EQ(describe({selected}), QStringList{row.expected});
        EXPECT_EQ(manager.current(), selected);
    }

    temp.write("Themes/Mine.json", themeFile("Mine", "#000002"));
    EXPECT_EQ(manager.select(u"Mine").background, u"#000002"_qs);
    temp.write("Themes/Mine.json", "broken now");
    EXPECT_EQ(manager.select(u"Mine"), BuiltInThemes::paper());
    EXPECT_EQ(manager.available().broken, QStringList{"Mine.json"});
}
