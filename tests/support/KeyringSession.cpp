#include "KeyringSession.h"

#include <QProcess>

namespace KeyringSession {

bool isPrivate()
{
    return qEnvironmentVariable("QUENDRIL_IN_KEYRING_SESSION") == u"1" &&
           !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
           qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS") !=
               qEnvironmentVariable("QUENDRIL_OUTER_BUS");
}

ToolRun runTool(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return {-1, {}};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {-1, process.readAllStandardOutput()};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput()};
}

bool lockLoginKeyring()
{
    const ToolRun run =
        runTool(QStringLiteral("dbus-send"),
                {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                 QStringLiteral("--dest=org.freedesktop.secrets"),
                 QStringLiteral("/org/freedesktop/secrets"),
                 QStringLiteral("org.freedesktop.Secret.Service.Lock"),
                 QStringLiteral("array:objpath:/org/freedesktop/secrets/collection/login")});
    return run.status == 0 && run.out.contains("/org/freedesktop/secrets/collection/login");
}

} // namespace KeyringSession
