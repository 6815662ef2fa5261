#include "QuendrilCore/SheetKeys.h"

#include "QuendrilCore/FileKeyStore.h"
#include "QuendrilCore/SheetStore.h"

#include "TempDir.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

// A key store in memory that can be told to fail, and that counts what it is asked.
class MemoryKeyStore : public SheetKeyStore {
public:
    std::optional<QString> stored;
    bool loadFails = false;
    bool saveFails = false;
    bool forgetsSaves = false; // a save that reports success but keeps nothing
    int saves = 0;

    Result<std::optional<QString>, SheetKeyStoreError> loadKey() override
    {
        if (loadFails)
            return unexpected(SheetKeyStoreError{SheetKeyStoreError::Kind::keyring, -1});
        return stored;
    }
    Result<void, SheetKeyStoreError> saveKey(const QString& text) override
    {
        ++saves;
        if (saveFails)
            return unexpected(SheetKeyStoreError{SheetKeyStoreError::Kind::keyring, -2});
        if (!forgetsSaves)
            stored = text;
        return {};
    }
};

SheetCipher newCipher()
{
    return SheetCipher(*SheetCipher::makeKey());
}

class SheetKeysTest : public TempDirTest {
protected:
    SheetStore plainStore() const
    {
        return {temp.path(), QTimeZone::utc(), SheetEncryption::off()};
    }

    void writeSealed(const QString& name, const SheetCipher& cipher, const QString& text) const
    {
        temp.write(name, *cipher.encrypt(text));
    }
};

} // namespace

TEST_F(SheetKeysTest, FirstLaunchMakesAndStoresAKey)
{
    MemoryKeyStore keys;
    int asked = 0;
    const auto resolution = SheetKeys::resolve(keys, [&] {
        ++asked;
        return false;
    });
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(resolution.encryption.isOn());
    EXPECT_TRUE(resolution.created);
    EXPECT_FALSE(resolution.problem);
    ASSERT_TRUE(keys.stored);
    EXPECT_EQ(*keys.stored, resolution.encryption.cipher()->recoveryKey());
    EXPECT_EQ(keys.stored->size(), 44);
}

TEST_F(SheetKeysTest, StoredKeysOpenWithoutAskingTheFolder)
{
    const SheetCipher cipher = newCipher();
    FileKeyStore file(
        temp.write(QStringLiteral("key.txt"), QByteArray(cipher.recoveryKey().toUtf8() + "\n")));
    bool asked = false;
    const auto resolution = SheetKeys::resolve(file, [&] { return asked = true; });
    EXPECT_FALSE(asked);
    EXPECT_EQ(resolution,
              (SheetKeys::Resolution{SheetEncryption::on(cipher), std::nullopt, false}));
}

TEST_F(SheetKeysTest, EveryFailureLeavesTheSheetsLockedWithItsMessage)
{
    struct Row {
        const char* name;
        std::optional<QString> stored;
        bool loadFails;
        bool saveFails;
        bool forgetsSaves;
        bool folderHasEncryptedSheets;
        QStringView problem;
        int saves;
    };
    const Row rows[] = {
        {"the store cannot be read", std::nullopt, true, false, false, false, SheetKeys::cannotRead,
         0},
        {"the stored text is 31 bytes",
         QStringLiteral("AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHg=="), false, false, false, false,
         SheetKeys::notValid, 0},
        {"the stored text is no Base64", QStringLiteral("not a key"), false, false, false, false,
         SheetKeys::notValid, 0},
        {"encrypted sheets but no key", std::nullopt, false, false, false, true,
         SheetKeys::notInKeychain, 0},
        {"the new key is refused", std::nullopt, false, true, false, false, SheetKeys::cannotSave,
         1},
        {"the new key does not read back", std::nullopt, false, false, true, false,
         SheetKeys::cannotSave, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MemoryKeyStore keys;
        keys.stored = row.stored;
        keys.loadFails = row.loadFails;
        keys.saveFails = row.saveFails;
        keys.forgetsSaves = row.forgetsSaves;
        const auto resolution =
            SheetKeys::resolve(keys, [&] { return row.folderHasEncryptedSheets; });
        EXPECT_EQ(resolution, (SheetKeys::Resolution{SheetEncryption::locked(),
                                                     row.problem.toString(), false}));
        EXPECT_EQ(keys.saves, row.saves);
        EXPECT_EQ(keys.stored, row.stored) << "a stored text is never replaced";
    }
}

TEST_F(SheetKeysTest, RestoreCountsTheSheetsTheKeyOpensAndStoresItTrimmed)
{
    const SheetCipher cipher = newCipher();
    writeSealed(QStringLiteral("2024-03-05 09.07.03.txt"), cipher, QStringLiteral("one"));
    writeSealed(QStringLiteral("2024-03-06 09.07.03.txt"), cipher, QStringLiteral("two"));
    writeSealed(QStringLiteral("2024-03-07 09.07.03.txt"), cipher, QString());
    writeSealed(QStringLiteral("2024-03-08 09.07.03.txt"), newCipher(),
                QStringLiteral("other key"));
    temp.write(QStringLiteral("2024-03-09 09.07.03.txt"), "plain");
    temp.write(QStringLiteral("2024-03-10 09.07.03.txt"), "plain too");
    QByteArray damaged = *cipher.encrypt(u"damaged");
    damaged[damaged.size() - 1] = char(damaged.back() ^ 1);
    temp.write(QStringLiteral("2024-03-11 09.07.03.txt"), damaged);

    MemoryKeyStore keys;
    const auto restored =
        SheetKeys::restore(QString(u"  " + cipher.recoveryKey() + u" \n"), keys, plainStore());
    ASSERT_TRUE(restored);
    EXPECT_EQ(*restored, 3);
    EXPECT_EQ(keys.stored, cipher.recoveryKey());
}

TEST_F(SheetKeysTest, RestoreChangesNothingUnlessTheKeyIsNewAndOpensASheet)
{
    const SheetCipher cipher = newCipher();
    writeSealed(QStringLiteral("2024-03-05 09.07.03.txt"), cipher, QStringLiteral("one"));
    temp.write(QStringLiteral("2024-03-06 09.07.03.txt"), "plain");
    const QString key = cipher.recoveryKey();

    struct Row {
        const char* name;
        QString typed;
        std::optional<QString> stored;
        bool saveFails;
        SheetKeysError error;
    };
    const Row rows[] = {
        {"43 characters", key.left(43), std::nullopt, false, SheetKeysError::notAKey},
        {"a blank in the middle", QString(key.left(20) + u' ' + key.mid(20)), std::nullopt, false,
         SheetKeysError::notAKey},
        {"empty", QString(), std::nullopt, false, SheetKeysError::notAKey},
        {"the same key is stored", key, key, false, SheetKeysError::keyAlreadyStored},
        {"another key is stored", key, newCipher().recoveryKey(), false,
         SheetKeysError::keyAlreadyStored},
        {"another folder's key", newCipher().recoveryKey(), std::nullopt, false,
         SheetKeysError::opensNoSheet},
        {"the store refuses it", key, std::nullopt, true, SheetKeysError::saveFailed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MemoryKeyStore keys;
        keys.stored = row.stored;
        keys.saveFails = row.saveFails;
        const auto restored = SheetKeys::restore(row.typed, keys, plainStore());
        ASSERT_FALSE(restored);
        EXPECT_EQ(restored.error(), row.error);
        EXPECT_EQ(keys.stored, row.stored);
    }
}

TEST_F(SheetKeysTest, RestoreTakesAnUnreadableStoreAsEmptyAndAMissingFolderAsNoSheets)
{
    const SheetCipher cipher = newCipher();
    writeSealed(QStringLiteral("2024-03-05 09.07.03.txt"), cipher, QStringLiteral("one"));
    MemoryKeyStore unreadable;
    unreadable.loadFails = true;
    EXPECT_EQ(SheetKeys::restore(cipher.recoveryKey(), unreadable, plainStore()).value_or(-1), 1);

    MemoryKeyStore keys;
    const SheetStore missing(temp.filePath(QStringLiteral("no such folder")), QTimeZone::utc(),
                             SheetEncryption::off());
    EXPECT_EQ(SheetKeys::restore(cipher.recoveryKey(), keys, missing).error(),
              SheetKeysError::opensNoSheet);
}
