#pragma once

#include <QString>

// Why a theme file was refused. `key` names the member concerned, with "dark." in front for a
// member of the dark overrides ("dark.background"); it is empty for the first two kinds.
struct ThemeError {
    enum class Kind {
        notJSON,       // the bytes are not JSON text
        notAnObject,   // JSON, but not an object
        missingMember, // a required member is absent
        wrongType,     // a member has the wrong JSON type (null is wrong for a required one)
        badColor,      // a colour string outside the colour grammar
    };

    Kind kind;
    QString key;

    // Only a bad colour names a colour; the other kinds are errors of the JSON form.
    [[nodiscard]] bool isDecodingError() const { return kind != Kind::badColor; }

    bool operator==(const ThemeError&) const = default;
};
