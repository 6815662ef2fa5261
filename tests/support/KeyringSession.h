#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Helpers for tests that run inside tests/support/with-keyring: a private D-Bus session with its
// own gnome-keyring-daemon, so nothing here can reach the user's keyring.
namespace KeyringSession {

// Whether this process runs inside that private session; tests refuse to run otherwise.
[[nodiscard]] bool isPrivate();

struct ToolRun {
    int status;
    QByteArray out;
};

// Runs a command line tool (secret-tool, dbus-send) with `input` on standard input; `out` holds
// standard output and standard error, as secret-tool prints attributes on the latter.
[[nodiscard]] ToolRun runTool(const QString& program, const QStringList& arguments,
                              const QByteArray& input = {});

// Locks the login keyring through the Secret Service's Lock call.
[[nodiscard]] bool lockLoginKeyring();

} // namespace KeyringSession
