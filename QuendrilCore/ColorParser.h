#pragma once

#include "QuendrilCore/RGBA.h"

#include <QStringView>

#include <optional>

// The colour strings of theme files. Exactly two forms exist, case-insensitive and with spaces
// or tabs allowed around the whole: "#RRGGBB" / "#RRGGBBAA", and "hsl(H, S%, L%)" /
// "hsla(H, S%, L%, A)". The hue is any finite number, wrapped into [0, 360); saturation and
// lightness are clamped to 0..100%; the opacity must lie in 0..1. Numbers are decimal
// ("1e2", ".5", "-30"), never hex, infinite or NaN. No names, no rgb(), no three-digit hex.
namespace ColorParser {

// The colour `text` denotes, or nothing when it is not in the grammar above.
//   parse(u" #FBF8F180")           -> r 251/255, g 248/255, b 241/255, a 128/255
//   parse(u"hsl(-240, 100%, 50%)") -> pure green
[[nodiscard]] std::optional<RGBA> parse(QStringView text);

} // namespace ColorParser
