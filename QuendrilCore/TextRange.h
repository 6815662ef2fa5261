#pragma once

#include <QtGlobal>

#include <algorithm>

// A half-open range [lower, upper) of UTF-16 positions; empty when lower == upper (a caret).
struct TextRange {
    qsizetype lower = 0;
    qsizetype upper = 0;

    // Number of code units covered.
    constexpr qsizetype length() const { return upper - lower; }
    // True for a caret.
    constexpr bool isEmpty() const { return upper == lower; }
    // True when lower <= position < upper.
    constexpr bool contains(qsizetype position) const
    {
        return lower <= position && position < upper;
    }

    bool operator==(const TextRange&) const = default;
};
