#pragma once

#include <QString>

#include <optional>

// The dark-appearance overrides of a theme: each member that is present replaces the theme's
// own value when the theme is resolved for dark; an absent member keeps it.
struct ThemeColors {
    std::optional<QString> background;
    std::optional<QString> foreground;
    std::optional<QString> caret;
    std::optional<QString> selection;
    std::optional<QString> selectionBorder;
    std::optional<QString> findHighlight;
    std::optional<QString> jsonString;
    std::optional<QString> jsonKey;
    std::optional<QString> jsonNumber;
    std::optional<QString> jsonLiteral;
    std::optional<bool> jsonLiteralItalic;
    std::optional<QString> jsonPunctuation;
    std::optional<QString> jsonBracket;
    std::optional<QString> link;
    std::optional<QString> codeKeyword;
    std::optional<QString> codeCommand;
    std::optional<QString> codeVariable;
    std::optional<QString> codeComment;
    std::optional<QString> tabBar;
    std::optional<QString> statusLine;

    bool operator==(const ThemeColors&) const = default;
};
