#include "ThemeFonts.h"

#include <QFontDatabase>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

QString familyOf(const FcPattern* pattern, int index)
{
    FcChar8* family = nullptr;
    if (FcPatternGetString(pattern, FC_FAMILY, index, &family) != FcResultMatch || !family)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(family));
}

// The family fontconfig gives for "serif". When no serif face is installed fontconfig still
// answers, with some other face, so the answer counts only when it is one of the families the
// configuration puts in front of the generic name.
std::optional<QString> desktopSerifFamily()
{
    Pattern pattern(FcNameParse(reinterpret_cast<const FcChar8*>("serif")));
    if (!pattern)
        return std::nullopt;
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    QStringList serifFamilies;
    for (int i = 0;; ++i) {
        const QString family = familyOf(pattern.get(), i);
        if (family.isEmpty() || family.compare(u"serif", Qt::CaseInsensitive) == 0)
            break;
        serifFamilies << family;
    }
    FcResult result = FcResultNoMatch;
    const Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match || result != FcResultMatch)
        return std::nullopt;
    const QString family = familyOf(match.get(), 0);
    if (family.isEmpty() || !serifFamilies.contains(family, Qt::CaseInsensitive))
        return std::nullopt;
    return family;
}

// Qt lists a family installed by two foundries as "Name [Foundry]".
bool isInstalledFamily(QStringView name)
{
    const QStringList families = QFontDatabase::families();
    return std::any_of(families.begin(), families.end(), [&](const QString& family) {
        QStringView plain(family);
        if (plain.endsWith(u']')) {
            const qsizetype bracket = plain.lastIndexOf(u" [");
            if (bracket > 0)
                plain = plain.first(bracket);
        }
        return plain == name;
    });
}

double usableSize(double pointSize)
{
    // Settings do not bound the size; QFont ignores sizes that are not positive.
    return std::isfinite(pointSize) && pointSize > 0 ? pointSize : 16.0;
}

QFont sized(QFont font, double pointSize)
{
    font.setPointSizeF(usableSize(pointSize));
    return font;
}

} // namespace

std::optional<QFont> ThemeFonts::named(QStringView name, double pointSize)
{
    const QString lowered = name.toString().toLower();
    if (lowered == u"new york") {
        const std::optional<QString> family = desktopSerifFamily();
        if (!family)
            return std::nullopt;
        QFont font(*family);
        font.setStyleHint(QFont::Serif);
        return sized(font, pointSize);
    }
    if (lowered == u"sf pro")
        return sized(QFontDatabase::systemFont(QFontDatabase::GeneralFont), pointSize);
    if (name.isEmpty() || !isInstalledFamily(name))
        return std::nullopt;
    return sized(QFont(name.toString()), pointSize);
}

QFont ThemeFonts::font(const Theme& theme, QStringView fontFace, double pointSize)
{
    const QString face = fontFace.trimmed().toString();
    if (!face.isEmpty()) {
        if (std::optional<QFont> font = named(face, pointSize))
            return *font;
    }
    if (std::optional<QFont> font = named(theme.textFont(), pointSize))
        return *font;
    if (std::optional<QFont> font = named(u"Menlo", pointSize))
        return *font;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setWeight(QFont::Normal);
    fixed.setStyle(QFont::StyleNormal);
    return sized(fixed, pointSize);
}
