#pragma once

#include "QuendrilCore/Settings.h"
#include "QuendrilCore/SheetKeyStore.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Where the application keeps its files, where the sheets are and where the sheet key is kept.
// Everything is read afresh from the environment and the disk on every call. Setting both
// QUENDRIL_APP_SUPPORT and QUENDRIL_NOTES_FOLDER makes a test run with a throwaway key file,
// which never touches the keyring item nor works on a real notes folder.
namespace AppPaths {

// Where the sheet key is kept: a file of a test run, nowhere (with the reason), or the keyring.
struct KeySource {
    enum class Kind { devFile, refused, keychain };
    Kind kind = Kind::keychain;
    QString url;     // devFile: the key file
    QString message; // refused: why sheets stay locked

    [[nodiscard]] static KeySource devFile(QString url)
    {
        return {Kind::devFile, std::move(url), {}};
    }
    [[nodiscard]] static KeySource refused(QString message)
    {
        return {Kind::refused, {}, std::move(message)};
    }
    [[nodiscard]] static KeySource keychain() { return {}; }

    bool operator==(const KeySource&) const = default;
};

inline constexpr QStringView onlyOneOverride =
    u"Set both QUENDRIL_APP_SUPPORT and QUENDRIL_NOTES_FOLDER for a test run. Sheets stay locked.";
inline constexpr QStringView overrideIsRealNotesFolder =
    u"QUENDRIL_NOTES_FOLDER is the real notes folder. Sheets stay locked.";

// The application-support folder: QUENDRIL_APP_SUPPORT when set (not empty), else
// `defaultAppSupport()`.
[[nodiscard]] QString appSupport();

// $XDG_CONFIG_HOME/quendril-pad, with ~/.config when XDG_CONFIG_HOME is unset or not absolute.
[[nodiscard]] QString defaultAppSupport();

// QUENDRIL_NOTES_FOLDER as an absolute path when set (not empty), taken as it stands (no "~").
[[nodiscard]] std::optional<QString> notesFolderOverride();

// The override when there is one, else the settings' folder resolved against the home folder.
[[nodiscard]] QString notesFolder(const Settings& settings);

// The folders a test run must not use: the default notes folder and the one the real settings
// file (in `defaultAppSupport()`, never the override) names, each normalised.
[[nodiscard]] QStringList realNotesFolders();

// A folder path with symbolic links resolved as far as the path exists, then "." and ".."
// removed.
[[nodiscard]] QString normalised(const QString& folder);

[[nodiscard]] KeySource keySource();

// The store of `keySource()`: the key file, none when refused, or the keyring item of service
// "local.quendrilpad" and account "sheet-key".
[[nodiscard]] std::unique_ptr<SheetKeyStore> keyStore();

} // namespace AppPaths
