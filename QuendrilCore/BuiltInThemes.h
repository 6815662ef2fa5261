#pragma once

#include "QuendrilCore/Theme.h"

#include <QList>

// The three themes that need no file. Paper is the default: a warm page by day, charcoal at
// night, with its own font, line spacing and margin. Mariana (dark) and Light keep one look in
// both appearances.
namespace BuiltInThemes {

// Built on first use and kept.
[[nodiscard]] const Theme& paper();
[[nodiscard]] Theme mariana();
[[nodiscard]] Theme light();

// Paper, Mariana, Light.
[[nodiscard]] QList<Theme> all();

} // namespace BuiltInThemes
