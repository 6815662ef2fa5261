#pragma once

#include "QuendrilCore/Theme.h"

#include <QFont>
#include <QStringView>

#include <optional>

// The text font from the "font_face" setting and the theme. Keeps no state.
namespace ThemeFonts {

// The setting's font when installed, else the theme's `textFont`, else Menlo, else the
// system's fixed-width font; always at `pointSize` (a size that is not positive and finite
// gives 16). Never fails.
[[nodiscard]] QFont font(const Theme& theme, QStringView fontFace, double pointSize);

// "New York" (any case) is the desktop's serif face, nothing when none is installed; "SF Pro"
// the desktop's interface font; any other name an installed family of exactly that name.
[[nodiscard]] std::optional<QFont> named(QStringView name, double pointSize);

} // namespace ThemeFonts
