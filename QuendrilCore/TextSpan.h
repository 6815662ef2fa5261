#pragma once

#include "QuendrilCore/TextRange.h"

#include <QtGlobal>

// A (location, length) range of UTF-16 positions, the shape the text view, links, code tokens
// and fenced blocks use.
struct TextSpan {
    qsizetype location = 0;
    qsizetype length = 0;

    // One past the last code unit.
    constexpr qsizetype end() const { return location + length; }
    // The same positions as a half-open range.
    constexpr TextRange range() const { return {location, location + length}; }
    // The same positions as a span.
    static constexpr TextSpan of(TextRange range) { return {range.lower, range.length()}; }

    bool operator==(const TextSpan&) const = default;
};
