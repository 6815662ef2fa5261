#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilCore/ThemeCatalog.h"

#include <gtest/gtest.h>

namespace {

Theme named(const char* name, const char* background = "#000000")
{
    Theme theme = BuiltInThemes::light();
    theme.name = QString::fromUtf8(name);
    theme.background = QString::fromUtf8(background);
    return theme;
}

QStringList describe(const QList<Theme>& themes)
{
    QStringList names;
    for (const Theme& theme : themes)
        names << theme.name + u' ' + theme.background;
    return names;
}

} // namespace

TEST(ThemeCatalog, MergesFileThemesWithTheBuiltIns)
{
    const QList<Theme> builtIns = BuiltInThemes::all();
    struct Row {
        const char* name;
        QList<Theme> files;
        QStringList expected;
    };
    const Row rows[] = {
        {"no files",
         {},
         {"Paper #FBF8F1", "Mariana hsl(210, 15%, 22%)", "Light hsl(40, 20%, 98%)"}},
        {"own themes after the built-ins, in file order",
         {named("Zed", "#000001"), named("Mine", "#000002"), named("Mine", "#000003")},
         {"Paper #FBF8F1", "Mariana hsl(210, 15%, 22%)", "Light hsl(40, 20%, 98%)", "Zed #000001",
          "Mine #000002", "Mine #000003"}},
        {"first namesake takes a built-in's place",
         {named("Mine", "#000001"), named("LIGHT", "#000002"), named("paper", "#000003"),
          named("Paper", "#000004")},
         {"paper #000003", "Mariana hsl(210, 15%, 22%)", "LIGHT #000002", "Mine #000001"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(describe(ThemeCatalog::merge(builtIns, row.files)), row.expected);
    }
}
