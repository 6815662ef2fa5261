#include "QuendrilCore/RGBA.h"

#include <algorithm>
#include <cmath>

namespace {

double linearised(double channel)
{
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

} // namespace

double RGBA::luminance() const
{
    return 0.2126 * linearised(r) + 0.7152 * linearised(g) + 0.0722 * linearised(b);
}

double RGBA::contrast(const RGBA& other) const
{
    const double mine = luminance();
    const double theirs = other.luminance();
    return (std::max(mine, theirs) + 0.05) / (std::min(mine, theirs) + 0.05);
}
