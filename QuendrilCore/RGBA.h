#pragma once

// A colour in sRGB with opacity; every field runs from 0 to 1.
struct RGBA {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 1;

    // The WCAG contrast ratio of the two colours, from 1 (alike) to 21 (black on white); the
    // opacity of both is ignored.
    [[nodiscard]] double contrast(const RGBA& other) const;

    // The relative luminance of the colour (WCAG), from 0 to 1, opacity ignored.
    [[nodiscard]] double luminance() const;

    bool operator==(const RGBA&) const = default;
};
