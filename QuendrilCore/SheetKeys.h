#pragma once

#include "QuendrilCore/Result.h"
#include "QuendrilCore/SheetEncryption.h"
#include "QuendrilCore/SheetKeyStore.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

class SheetStore;

// Why a recovery key was not put back.
enum class SheetKeysError {
    notAKey,          // the text is not 44 characters of Base64 for 32 bytes
    keyAlreadyStored, // the key store holds a key already, whichever it is
    opensNoSheet,     // the key decrypts no sheet of the notes folder
    saveFailed,       // the key store refused the key
};

// Whether the sheet key is at hand at launch, making it the first time, and putting a recovery
// key back. A stored key is never replaced, and no new key is made while encrypted sheets exist.
namespace SheetKeys {

// The key problems shown at launch; sheets stay locked with each of them.
inline constexpr QStringView cannotRead =
    u"Quendril Pad could not read its key from the keyring. Sheets stay locked. Unlock the "
    u"keyring, then quit and open Quendril Pad again.";
inline constexpr QStringView notInKeychain =
    u"Your sheets are locked with a key that is not in the keyring. See README: Recovery key.";
inline constexpr QStringView notValid = u"The key in the keyring is not valid. Sheets stay locked.";
inline constexpr QStringView cannotSave =
    u"Quendril Pad could not save a new key in the keyring. Sheets stay locked.";

struct Resolution {
    SheetEncryption encryption;
    std::optional<QString> problem;
    bool created = false;

    bool operator==(const Resolution&) const = default;
};

// The encryption state of this launch. A failed load is `cannotRead`; a stored text that is no
// key is `notValid`; with nothing stored, `folderHasEncryptedSheets` (asked only then) true is
// `notInKeychain`; otherwise a new key is saved and must load back equal, else `cannotSave`.
[[nodiscard]] Resolution resolve(SheetKeyStore& keys,
                                 const std::function<bool()>& folderHasEncryptedSheets);

// Puts a recovery key back into an empty key store once it opens at least one encrypted sheet
// of `store`'s folder; the count of those sheets on success. The key is saved as the cipher
// writes it, so blanks around the typed text are gone. Nothing changes on any error.
[[nodiscard]] Result<int, SheetKeysError> restore(QStringView recoveryKey, SheetKeyStore& keys,
                                                  const SheetStore& store);

} // namespace SheetKeys
