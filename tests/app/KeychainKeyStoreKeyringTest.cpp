#include "QuendrilPad/KeychainKeyStore.h"

#include "KeyringSession.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {
const QString keyA = QStringLiteral("q83vEjRWeJCrze8SNFZ4kKvN7xI0VniQq83vEjRWeJA=");
const QString keyB = QStringLiteral("AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=");

class KeychainKeyStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(KeyringSession::isPrivate()) << "run through tests/support/with-keyring";
    }

    // A service of the test's own, so tests never meet each other's items.
    static QString serviceFor(const char* name)
    {
        return QStringLiteral("local.quendrilpad.test.") + QString::fromUtf8(name);
    }

    static KeyringSession::ToolRun secretTool(const QStringList& arguments,
                                              const QByteArray& input = {})
    {
        return KeyringSession::runTool(QStringLiteral("secret-tool"), arguments, input);
    }
};

SheetKeyStoreError keyringError(int status)
{
    return KeychainKeyStore::failure(status);
}
} // namespace

TEST_F(KeychainKeyStoreTest, SavesLoadsAndDeletesOneLabelledItem)
{
    const QString service = serviceFor("round-trip");
    KeychainKeyStore store(service, QStringLiteral("sheet-key"));

    const auto nothing = store.loadKey();
    ASSERT_TRUE(nothing) << nothing.error().description().toStdString();
    EXPECT_FALSE(nothing->has_value());

    ASSERT_TRUE(store.saveKey(keyA));
    EXPECT_EQ(store.loadKey().value(), keyA);

    // What another program sees: the secret, the label and exactly our attributes.
    const auto lookup = secretTool({QStringLiteral("lookup"), QStringLiteral("service"), service,
                                    QStringLiteral("account"), QStringLiteral("sheet-key")});
    EXPECT_EQ(lookup.status, 0);
    EXPECT_EQ(lookup.out, keyA.toUtf8());
    const auto search =
        secretTool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("service"),
                    service, QStringLiteral("account"), QStringLiteral("sheet-key")});
    EXPECT_EQ(search.status, 0);
    EXPECT_TRUE(search.out.contains("\nlabel = Quendril Pad sheet key\n"))
        << search.out.constData();
    EXPECT_TRUE(
        search.out.contains(QByteArray("\nattribute.service = " + service.toUtf8() + "\n")));
    EXPECT_TRUE(search.out.contains("\nattribute.account = sheet-key\n"));
    EXPECT_EQ(search.out.count("attribute."), 2) << search.out.constData();
    EXPECT_TRUE(search.out.contains("\nschema = local.quendrilpad.SheetKey\n"));
    EXPECT_EQ(search.out.count("\nlabel = "), 1) << "one item";

    ASSERT_TRUE(store.deleteKey());
    EXPECT_FALSE(store.loadKey().value().has_value());
    EXPECT_EQ(store.deleteKey().error(), keyringError(KeychainKeyStore::noSuchItemStatus));
}

TEST_F(KeychainKeyStoreTest, NeverReplacesAnExistingItem)
{
    KeychainKeyStore store(serviceFor("no-replace"), QStringLiteral("sheet-key"));
    ASSERT_TRUE(store.saveKey(keyA));
    const auto second = store.saveKey(keyB);
    ASSERT_FALSE(second);
    EXPECT_EQ(second.error(), keyringError(KeychainKeyStore::alreadyExistsStatus));
    EXPECT_EQ(store.loadKey().value(), keyA);
}

TEST_F(KeychainKeyStoreTest, MeetsItemsThatOtherProgramsMade)
{
    const QString service = serviceFor("other-program");
    ASSERT_EQ(secretTool({QStringLiteral("store"), QStringLiteral("--label=by hand"),
                          QStringLiteral("service"), service, QStringLiteral("account"),
                          QStringLiteral("sheet-key")},
                         QByteArray("  " + keyB.toUtf8() + "\n"))
                  .status,
              0);
    KeychainKeyStore store(service, QStringLiteral("sheet-key"));
    EXPECT_EQ(store.loadKey().value(), keyB);
    EXPECT_EQ(store.saveKey(keyA).error(), keyringError(KeychainKeyStore::alreadyExistsStatus));

    const QString binary = serviceFor("not-text");
    ASSERT_EQ(secretTool({QStringLiteral("store"), QStringLiteral("--label=bytes"),
                          QStringLiteral("service"), binary, QStringLiteral("account"),
                          QStringLiteral("sheet-key")},
                         QByteArray("\xff\xfe\x80"))
                  .status,
              0);
    EXPECT_EQ(KeychainKeyStore(binary, QStringLiteral("sheet-key")).loadKey().error(),
              keyringError(0));
}

TEST_F(KeychainKeyStoreTest, KeepsServicesAndAccountsApart)
{
    const QString service = serviceFor("apart");
    ASSERT_TRUE(KeychainKeyStore(service, QStringLiteral("sheet-key")).saveKey(keyA));
    EXPECT_FALSE(KeychainKeyStore(service, QStringLiteral("other")).loadKey().value().has_value());
    EXPECT_FALSE(KeychainKeyStore(service + u".x", QStringLiteral("sheet-key"))
                     .loadKey()
                     .value()
                     .has_value());
    ASSERT_TRUE(KeychainKeyStore(service, QStringLiteral("other")).saveKey(keyB));
    EXPECT_EQ(KeychainKeyStore(service, QStringLiteral("sheet-key")).loadKey().value(), keyA);
    EXPECT_EQ(KeychainKeyStore(service, QStringLiteral("other")).loadKey().value(), keyB);
}

// Last in the file: the keyring stays locked for the rest of the session, as no prompt can
// answer here (no display) and nothing knows how to unlock it.
TEST_F(KeychainKeyStoreTest, ALockedKeyringIsAFailureAndNotAMissingItem)
{
    const QString service = serviceFor("locked");
    KeychainKeyStore store(service, QStringLiteral("sheet-key"), 3s);
    ASSERT_TRUE(store.saveKey(keyA));
    ASSERT_TRUE(KeyringSession::lockLoginKeyring());

    const auto load = store.loadKey();
    ASSERT_FALSE(load) << "a locked item must not read as missing";
    EXPECT_EQ(load.error().kind, SheetKeyStoreError::Kind::keyring);
    EXPECT_TRUE(load.error().code == KeychainKeyStore::lockedStatus ||
                load.error().code == KeychainKeyStore::timedOutStatus)
        << load.error().code;

    // The locked item still blocks an add; an add of a new item cannot get into the keyring.
    EXPECT_EQ(store.saveKey(keyB).error(), keyringError(KeychainKeyStore::alreadyExistsStatus));
    KeychainKeyStore fresh(serviceFor("locked-new"), QStringLiteral("sheet-key"), 3s);
    const auto added = fresh.saveKey(keyB);
    ASSERT_FALSE(added);
    EXPECT_EQ(added.error().kind, SheetKeyStoreError::Kind::keyring);
    EXPECT_FALSE(store.deleteKey());

    // Nothing matches a new item's attributes, locked or not, so it truly is missing.
    const auto missing = fresh.loadKey();
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->has_value());
}
