#pragma once

#include "QuendrilCore/RGBA.h"
#include "QuendrilCore/Result.h"
#include "QuendrilCore/ThemeColors.h"
#include "QuendrilCore/ThemeError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>
#include <utility>

// A theme as its JSON file holds it. Colours stay the file's strings, so a theme written back
// out keeps them unchanged; they are parsed only when a consumer asks for a colour, and a string
// that does not parse is drawn as opaque magenta. Views receive themes already `resolved`.
struct Theme {
    enum class Appearance { light, dark };

    QString name;
    QString background;
    QString foreground;
    QString caret;
    QString selection;
    QString selectionBorder;
    QString findHighlight;
    QString jsonString;
    QString jsonKey;
    QString jsonNumber;
    QString jsonLiteral;
    bool jsonLiteralItalic = false;
    QString jsonPunctuation;
    QString jsonBracket;
    std::optional<QString> link;
    std::optional<QString> codeKeyword;
    std::optional<QString> codeCommand;
    std::optional<QString> codeVariable;
    std::optional<QString> codeComment;
    std::optional<QString> tabBar;
    std::optional<QString> statusLine;
    std::optional<QString> font;
    std::optional<double> lineSpacing;
    std::optional<double> margin;
    std::optional<ThemeColors> dark;

    // The colour drawn for a string that does not parse.
    static constexpr RGBA badColorRGBA{1, 0, 1, 1};

    // The theme in a theme file. Fails with a decoding error when the bytes are not a JSON
    // object, a required member is missing or any member has the wrong type (optional members
    // may be null; unknown members are ignored), then with `badColor` and the key of the first
    // entry of `colorFields` that does not parse.
    [[nodiscard]] static Result<Theme, ThemeError> decode(const QByteArray& bytes);

    // Pretty-printed JSON that `decode` reads back as an equal theme; absent members are left
    // out. Empty when the theme cannot be written (a spacing or margin that is not finite).
    [[nodiscard]] QByteArray encodedPretty() const;

    // (JSON key, colour string) of every colour held: the twelve required ones, then the
    // optional ones present, then those present in `dark` with keys prefixed "dark.".
    [[nodiscard]] QList<std::pair<QString, QString>> colorFields() const;

    // True when every string of `colorFields` parses.
    [[nodiscard]] bool isValid() const;

    // The colour `colour` denotes, or opaque magenta when it does not parse.
    [[nodiscard]] static RGBA rgba(QStringView colour);

    // The colour for an optional colour field: the theme's own; else that of the built-in theme
    // of the same name (any case); else that of Mariana for a dark or unparsable background,
    // Light otherwise; else `fallback`. A chosen string that does not parse gives `fallback`,
    // and a bad `fallback` gives opaque magenta.
    //   theme.optionalColor(&Theme::codeComment, &Theme::jsonPunctuation)
    [[nodiscard]] RGBA optionalColor(std::optional<QString> Theme::*field,
                                     QString Theme::*fallback) const;

    // `optionalColor` of `link`, falling back to `jsonKey`.
    [[nodiscard]] RGBA linkColor() const;

    // `font` trimmed, or "Menlo" when it is absent or blank.
    [[nodiscard]] QString textFont() const;

    // `lineSpacing` (1 when absent) clamped to 0.8 ... 3.
    [[nodiscard]] double textLineSpacing() const;

    // `margin` (6 when absent) clamped to 0 ... 200; a NaN gives 0.
    [[nodiscard]] double textMargin() const;

    // True when the theme has a `dark` member, even an empty one.
    [[nodiscard]] bool hasDarkVariant() const { return dark.has_value(); }

    // The theme to draw with: for dark, each colour and `jsonLiteralItalic` present in `dark`
    // replaces the theme's own; name, font, spacing and margin stay. The result never has `dark`.
    [[nodiscard]] Theme resolved(Appearance appearance) const;

    bool operator==(const Theme&) const = default;
};
