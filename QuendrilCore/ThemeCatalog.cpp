#include "QuendrilCore/ThemeCatalog.h"

#include <algorithm>

QList<Theme> ThemeCatalog::merge(const QList<Theme>& builtIns, const QList<Theme>& fileThemes)
{
    const auto sameName = [](const Theme& a, const Theme& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) == 0;
    };
    QList<Theme> merged;
    merged.reserve(builtIns.size() + fileThemes.size());
    for (const Theme& builtIn : builtIns) {
        const auto replacement =
            std::find_if(fileThemes.begin(), fileThemes.end(),
                         [&](const Theme& fileTheme) { return sameName(fileTheme, builtIn); });
        merged.append(replacement != fileThemes.end() ? *replacement : builtIn);
    }
    for (const Theme& fileTheme : fileThemes) {
        const bool namesBuiltIn =
            std::any_of(builtIns.begin(), builtIns.end(),
                        [&](const Theme& builtIn) { return sameName(fileTheme, builtIn); });
        if (!namesBuiltIn)
            merged.append(fileTheme);
    }
    return merged;
}
