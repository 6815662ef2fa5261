#pragma once

#include "QuendrilCore/Result.h"

#include <QString>

#include <optional>

// Why a key store could not load or save the key.
struct SheetKeyStoreError {
    enum class Kind {
        fileRead,     // the key file exists but could not be read; `code` is errno
        folderCreate, // the key file's folder could not be made; `code` is errno
        fileWrite,    // the key file could not be written; `code` is errno
        keyring,      // the keyring failed; `code` is its status
    };
    Kind kind;
    int code;

    // One line for a person: "Keyring error <status>" for the keyring.
    [[nodiscard]] QString description() const;

    bool operator==(const SheetKeyStoreError&) const = default;
};

// Where the sheet key is kept, always as its 44-character recovery key text. A store never
// replaces a key it already holds by itself; see each store for what `saveKey` does then.
class SheetKeyStore {
public:
    virtual ~SheetKeyStore() = default;

    // The stored text trimmed of white space and line breaks, none when nothing is stored, or
    // an error when the store could not tell.
    [[nodiscard]] virtual Result<std::optional<QString>, SheetKeyStoreError> loadKey() = 0;

    // Stores `text`.
    [[nodiscard]] virtual Result<void, SheetKeyStoreError> saveKey(const QString& text) = 0;
};
