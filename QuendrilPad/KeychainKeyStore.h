#pragma once

#include "QuendrilCore/SheetKeyStore.h"

#include <chrono>

// The sheet key as a Secret Service item (GNOME Keyring, KWallet, KeePassXC) through libsecret,
// named by the attributes `service` and `account`. Every failure is a `keyring` error with a
// status: the GLib error code of the call that failed, or one of the statuses below.
//
// Each operation has a time limit, so that a bus or service that does not answer, or an unlock
// prompt nobody answers, ends in a failure instead of a hang.
class KeychainKeyStore : public SheetKeyStore {
public:
    static constexpr int lockedStatus = 2;        // the keyring stayed locked
    static constexpr int noSuchItemStatus = 3;    // nothing to delete; no default keyring to add to
    static constexpr int alreadyExistsStatus = 4; // an add found an item there already
    static constexpr int timedOutStatus = 24;     // the time limit ran out
    static constexpr std::chrono::milliseconds defaultTimeLimit{5000};

    KeychainKeyStore(QString service, QString account,
                     std::chrono::milliseconds timeLimit = defaultTimeLimit);

    [[nodiscard]] const QString& service() const { return m_service; }
    [[nodiscard]] const QString& account() const { return m_account; }

    // The item's text trimmed of white space, or none when no item matches. A locked item is
    // unlocked first (the service may prompt); one that stays locked is a failure, never none.
    // Stored bytes that are not UTF-8 are a failure with status 0.
    [[nodiscard]] Result<std::optional<QString>, SheetKeyStoreError> loadKey() override;

    // Adds the item, labelled "Quendril Pad sheet key", to the default keyring. An item that is
    // there already, locked or not, is never replaced: the add fails with `alreadyExistsStatus`.
    [[nodiscard]] Result<void, SheetKeyStoreError> saveKey(const QString& text) override;

    // Deletes every matching item; `noSuchItemStatus` when there was none.
    [[nodiscard]] Result<void, SheetKeyStoreError> deleteKey();

    [[nodiscard]] static SheetKeyStoreError failure(int status)
    {
        return {SheetKeyStoreError::Kind::keyring, status};
    }

private:
    QString m_service;
    QString m_account;
    std::chrono::milliseconds m_timeLimit;
};
