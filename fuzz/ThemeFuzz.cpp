#include "QuendrilCore/Theme.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

// A decoded theme is valid, writes back out as an equal theme, and keeps its derived values in
// their bounds for both appearances.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const Result<Theme, ThemeError> theme = Theme::decode(bytes);
    if (!theme)
        return 0;
    if (!theme->isValid())
        std::abort();
    const Result<Theme, ThemeError> back = Theme::decode(theme->encodedPretty());
    if (!back || !(*back == *theme))
        std::abort();
    for (const Theme::Appearance appearance : {Theme::Appearance::light, Theme::Appearance::dark}) {
        const Theme resolved = theme->resolved(appearance);
        if (resolved.hasDarkVariant() || !resolved.isValid())
            std::abort();
        const double margin = resolved.textMargin();
        const double spacing = resolved.textLineSpacing();
        if (!(margin >= 0 && margin <= 200) || !(spacing >= 0.8 && spacing <= 3))
            std::abort();
        const RGBA link = resolved.linkColor();
        if (!std::isfinite(link.r + link.g + link.b + link.a))
            std::abort();
    }
    return 0;
}
