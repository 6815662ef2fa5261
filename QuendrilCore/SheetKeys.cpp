#include "QuendrilCore/SheetKeys.h"

#include "QuendrilCore/SheetStore.h"

namespace SheetKeys {

namespace {

Resolution lockedWith(QStringView problem)
{
    return {SheetEncryption::locked(), problem.toString(), false};
}

} // namespace

Resolution resolve(SheetKeyStore& keys, const std::function<bool()>& folderHasEncryptedSheets)
{
    const auto stored = keys.loadKey();
    if (!stored)
        return lockedWith(cannotRead);
    if (stored->has_value()) {
        if (auto cipher = SheetCipher::fromRecoveryKey(**stored))
            return {SheetEncryption::on(std::move(*cipher)), std::nullopt, false};
        return lockedWith(notValid);
    }
    if (folderHasEncryptedSheets && folderHasEncryptedSheets())
        return lockedWith(notInKeychain);

    const auto key = SheetCipher::makeKey();
    if (!key)
        return lockedWith(cannotSave);
    SheetCipher cipher(*key);
    const QString text = cipher.recoveryKey();
    if (!keys.saveKey(text))
        return lockedWith(cannotSave);
    // Encrypting with a key that cannot be found again would lock the sheets for good.
    const auto again = keys.loadKey();
    if (!again || !again->has_value() || **again != text)
        return lockedWith(cannotSave);
    return {SheetEncryption::on(std::move(cipher)), std::nullopt, true};
}

Result<int, SheetKeysError> restore(QStringView recoveryKey, SheetKeyStore& keys,
                                    const SheetStore& store)
{
    auto cipher = SheetCipher::fromRecoveryKey(recoveryKey);
    if (!cipher)
        return unexpected(SheetKeysError::notAKey);
    if (const auto stored = keys.loadKey(); stored && stored->has_value())
        return unexpected(SheetKeysError::keyAlreadyStored);

    const SheetStore opened(store.folder(), store.calendar(), SheetEncryption::on(*cipher));
    int count = 0;
    for (const ScannedSheet& sheet : opened.scan().value_or(QList<ScannedSheet>())) {
        const auto text = opened.read(QString(opened.folder() + u'/' + sheet.name));
        if (text && text->wasEncrypted)
            ++count;
    }
    if (count == 0)
        return unexpected(SheetKeysError::opensNoSheet);
    if (!keys.saveKey(cipher->recoveryKey()))
        return unexpected(SheetKeysError::saveFailed);
    return count;
}

} // namespace SheetKeys
