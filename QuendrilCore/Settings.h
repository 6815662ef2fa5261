#pragma once

#include "QuendrilCore/Result.h"

#include <QByteArray>
#include <QString>

// Why settings.json did not decode.
enum class SettingsError {
    notJSON,     // the bytes are not JSON at all
    notAnObject, // the top level is an array or a scalar
    wrongType,   // a known member holds a value of another JSON type
};

// The record of settings.json: every preference, with its default for a missing or null member.
// No field is bounded or checked; a value of the right JSON type is taken as it is.
//
//   auto settings = Settings::decode(bytes).value_or(Settings{});
struct Settings {
    QString notesFolder = QStringLiteral("~/Quendrils");
    QString globalShortcut = QStringLiteral("ctrl+alt+s");
    QString newSheetShortcut = QStringLiteral("hyper+s");
    QString fontFace;
    double fontSize = 16;
    QString theme = QStringLiteral("Paper");
    int tabSize = 4;
    bool lineNumbers = false;
    bool wordWrap = true;
    bool startAtLogin = true;
    int closeTabsAfterDays = 3;
    bool updateAutomatically = true;

    // Parses one JSON object; unknown members are ignored, and a known member of the wrong type
    // (a fraction or a number out of range for an integer field included) fails the whole file.
    [[nodiscard]] static Result<Settings, SettingsError> decode(const QByteArray& bytes);

    // Indented JSON, one member per line in ascending key order, slashes unescaped and no final
    // newline; "{}" when the record cannot be written as JSON (a font size that is not finite).
    [[nodiscard]] QByteArray encodedPretty() const;

    // The notes folder as an absolute path: "~" is `home`, "~/rest" is `rest` under `home`, and
    // any other text is a path (a relative one taken from the working folder).
    [[nodiscard]] QString notesFolderURL(const QString& home) const;

    // The text-size commands: round to the nearest point (halves away from zero), then one point
    // bigger up to 36, or one point smaller down to 9.
    [[nodiscard]] static double biggerFontSize(double fontSize);
    [[nodiscard]] static double smallerFontSize(double fontSize);

    bool operator==(const Settings&) const = default;
};
