#include "QuendrilPad/KeychainKeyStore.h"

#include "TempDir.h"

#include <QLocalServer>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace std::chrono_literals;

namespace {

// A session bus of our own that offers no services at all, so the Secret Service is missing.
class EmptyBus {
public:
    explicit EmptyBus(const TempDir& temp)
    {
        const QString config = temp.write(
            QStringLiteral("bus.conf"),
            QByteArray(
                "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                "1.0//EN\" "
                "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                "<busconfig><type>session</type><listen>unix:path=" +
                temp.filePath(QStringLiteral("empty-bus")).toUtf8() +
                "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                "<allow own=\"*\"/></policy></busconfig>\n"));
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (m_daemon.waitForReadyRead(10000))
            m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    }
    ~EmptyBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    const QString& address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

void setBus(const QString& address)
{
    if (address.isNull())
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8().constData(), 1);
}

} // namespace

// Every call ends in a keyring failure, never in "no item" and never in a hang, when no Secret
// Service can be reached.
TEST(KeychainKeyStore, FailsWithoutASecretService)
{
    TempDir temp;
    // Nothing here may find the user's own bus: not through the address, not through the
    // runtime folder's "bus" socket, not by starting one on a display.
    ::setenv("XDG_RUNTIME_DIR", temp.mkdir(QStringLiteral("run")).toUtf8().constData(), 1);
    ::unsetenv("DISPLAY");

    QLocalServer silent; // accepts connections into its backlog and never says a word
    ASSERT_TRUE(silent.listen(temp.filePath(QStringLiteral("silent-bus"))));

    struct Row {
        const char* name;
        QString address;
    };
    // The bus of the last row stays connected for the life of the process, so it comes last.
    const Row rows[] = {
        {"no session bus at all", QString()},
        {"bus address that leads nowhere",
         QStringLiteral("unix:path=") + temp.filePath(QStringLiteral("missing-bus"))},
        {"bus that never answers", QStringLiteral("unix:path=") + silent.fullServerName()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        setBus(row.address);
        KeychainKeyStore store(QStringLiteral("local.quendrilpad.test.no-service"),
                               QStringLiteral("sheet-key"), 1500ms);
        const auto load = store.loadKey();
        ASSERT_FALSE(load);
        EXPECT_EQ(load.error().kind, SheetKeyStoreError::Kind::keyring);
        const auto save =
            store.saveKey(QStringLiteral("q83vEjRWeJCrze8SNFZ4kKvN7xI0VniQq83vEjRWeJA="));
        ASSERT_FALSE(save);
        EXPECT_EQ(save.error().kind, SheetKeyStoreError::Kind::keyring);
        EXPECT_FALSE(store.deleteKey());
        if (row.address.contains(u"silent-bus")) {
            EXPECT_EQ(load.error().code, KeychainKeyStore::timedOutStatus);
        }
    }

    EmptyBus bus(temp);
    ASSERT_FALSE(bus.address().isEmpty());
    setBus(bus.address());
    KeychainKeyStore store(QStringLiteral("local.quendrilpad.test.no-service"),
                           QStringLiteral("sheet-key"));
    const auto load = store.loadKey();
    ASSERT_FALSE(load);
    EXPECT_EQ(load.error().kind, SheetKeyStoreError::Kind::keyring);
    EXPECT_NE(load.error().code, KeychainKeyStore::timedOutStatus)
        << "a missing service answers at once";
    EXPECT_FALSE(store.saveKey(QStringLiteral("q83vEjRWeJCrze8SNFZ4kKvN7xI0VniQq83vEjRWeJA=")));
    EXPECT_FALSE(store.deleteKey());
}
