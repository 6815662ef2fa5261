#include "QuendrilPad/ThemeFonts.h"

#include "QuendrilCore/BuiltInThemes.h"

#include "TempDir.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QProcess>

#include <fontconfig/fontconfig.h>

#include <gtest/gtest.h>

// DejaVu Sans comes with fonts-dejavu-core (scripts/install-deps); the generic families are
// asked of fontconfig's own command, outside the code under test.
namespace {

QString fontconfigFamily(const char* pattern)
{
    QProcess match;
    match.start("fc-match", {"-f", "%{family[0]}", pattern});
    EXPECT_TRUE(match.waitForFinished(10000));
    return QString::fromUtf8(match.readAllStandardOutput());
}

QString drawnFamily(const QFont& font)
{
    return QFontInfo(font).family();
}

Theme themeWithFont(const char* font)
{
    Theme theme = BuiltInThemes::mariana();
    theme.font = QString::fromUtf8(font);
    return theme;
}

} // namespace

TEST(ThemeFonts, NamedFindsInstalledAndDesktopFaces)
{
    ASSERT_TRUE(QFontDatabase::families().contains("DejaVu Sans")) << "install fonts-dejavu-core";
    const QString serif = fontconfigFamily("serif");
    const QString sans = fontconfigFamily("sans-serif");
    ASSERT_FALSE(serif.isEmpty());

    const std::optional<QFont> dejaVu = ThemeFonts::named(u"DejaVu Sans", 13);
    ASSERT_TRUE(dejaVu.has_value());
    EXPECT_EQ(drawnFamily(*dejaVu), u"DejaVu Sans"_qs);
    EXPECT_EQ(dejaVu->pointSizeF(), 13);

    for (const QStringView name : {u"New York", u"NEW YORK"}) {
        const std::optional<QFont> newYork = ThemeFonts::named(name, 14);
        ASSERT_TRUE(newYork.has_value());
        EXPECT_EQ(drawnFamily(*newYork), serif);
        EXPECT_EQ(newYork->pointSizeF(), 14);
    }
    const std::optional<QFont> interface = ThemeFonts::named(u"SF Pro", 11);
    ASSERT_TRUE(interface.has_value());
    EXPECT_EQ(drawnFamily(*interface), sans);
    EXPECT_EQ(interface->pointSizeF(), 11);

    EXPECT_EQ(ThemeFonts::named(u"No Such Font", 12), std::nullopt);
    EXPECT_EQ(ThemeFonts::named(u"dejavu sans", 12), std::nullopt) << "names are exact";
    EXPECT_EQ(ThemeFonts::named(u"", 12), std::nullopt);
}

TEST(ThemeFonts, ChoosesSettingThenThemeThenFixedWidth)
{
    const QString serif = fontconfigFamily("serif");
    const QString fixedWidth = fontconfigFamily("monospace");
    ASSERT_FALSE(fixedWidth.isEmpty());
    struct Row {
        const char* name;
        QString fontFace;
        Theme theme;
        QString family;
    };
    const Row rows[] = {
        {"setting first", u" DejaVu Sans "_qs, BuiltInThemes::paper(), u"DejaVu Sans"_qs},
        {"blank setting takes Paper's serif", u"  "_qs, BuiltInThemes::paper(), serif},
        {"unknown setting takes the theme's", u"Nope"_qs, themeWithFont("DejaVu Sans"),
         u"DejaVu Sans"_qs},
        {"uninstalled theme font ends at the fixed-width font", u""_qs,
         themeWithFont("Uninstalled Font"), fixedWidth},
        {"no theme font is Menlo, then the fixed-width font", u""_qs, BuiltInThemes::light(),
         fixedWidth},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QFont font = ThemeFonts::font(row.theme, row.fontFace, 15);
        EXPECT_EQ(drawnFamily(font), row.family);
        EXPECT_EQ(font.pointSizeF(), 15);
        EXPECT_EQ(font.weight(), QFont::Normal);
    }

    for (const double size : {0.0, -3.0, qInf()}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(ThemeFonts::font(BuiltInThemes::paper(), u"", size).pointSizeF(), 16);
    }
}

TEST(ThemeFonts, NoSerifFaceInstalledMeansNoNewYork)
{
    // A font configuration with the desktop's rules but only a sans-serif face: fontconfig still
    // answers "serif" with that face, which must not pass for the serif design.
    TempDir fonts;
    ASSERT_TRUE(QFile::copy("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                            fonts.filePath("DejaVuSans.ttf")));
    const QString conf = fonts.write(
        "fonts.conf", QByteArray("<?xml version=\"1.0\"?><fontconfig><dir>") +
                          fonts.path().toUtf8() + "</dir><cachedir>" + fonts.path().toUtf8() +
                          "/cache</cachedir><include ignore_missing=\"yes\">/etc/fonts/conf.d"
                          "</include></fontconfig>");
    const QByteArray confPath = QFile::encodeName(conf);
    FcConfig* sansOnly = FcConfigCreate();
    ASSERT_TRUE(FcConfigParseAndLoad(
        sansOnly, reinterpret_cast<const FcChar8*>(confPath.constData()), FcTrue));
    ASSERT_TRUE(FcConfigBuildFonts(sansOnly));
    FcConfig* desktop = FcConfigReference(nullptr);
    ASSERT_TRUE(FcConfigSetCurrent(sansOnly));
    FcConfigDestroy(sansOnly);

    const std::optional<QFont> newYork = ThemeFonts::named(u"New York", 12);

    FcConfigSetCurrent(desktop);
    FcConfigDestroy(desktop);
    EXPECT_EQ(newYork, std::nullopt);
    EXPECT_TRUE(ThemeFonts::named(u"New York", 12).has_value()) << "desktop configuration back";
}
