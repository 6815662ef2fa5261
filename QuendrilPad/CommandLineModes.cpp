#include "QuendrilPad/CommandLineModes.h"

#include "QuendrilCore/Crypto.h"
#include "QuendrilCore/Settings.h"
#include "QuendrilCore/SheetKeys.h"
#include "QuendrilCore/SheetStore.h"
#include "QuendrilPad/AppPaths.h"
#include "QuendrilPad/KeychainKeyStore.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>

#pragma push_macro("signals")
#undef signals
#include <glib.h>
#pragma pop_macro("signals")

#include <bsd/readpassphrase.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>

namespace CommandLineModes {

namespace {

void printLine(const QString& line)
{
    const QByteArray bytes = QString(line + u'\n').toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

// Libraries warn on standard error (GLib when there is no session bus, Qt about the runtime
// folder); a mode's only voice is standard output.
void silenceLibraryMessages()
{
    g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    // GLib allows the writer to be set once per process.
    static const bool writerSet = [] {
        g_log_set_writer_func(
            [](GLogLevelFlags, const GLogField*, gsize, gpointer) { return G_LOG_WRITER_HANDLED; },
            nullptr, nullptr);
        return true;
    }();
    Q_UNUSED(writerSet);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

Settings currentSettings()
{
    QFile file(QString(AppPaths::appSupport() + u"/settings.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return Settings::decode(file.readAll()).value_or(Settings{});
}

QString absoluteFolder(const QString& path)
{
    QString absolute = QDir::current().absoluteFilePath(path);
    while (absolute.size() > 1 && absolute.endsWith(u'/'))
        absolute.chop(1);
    return absolute;
}

// One line from the terminal with echo off, or from standard input when that is not a
// terminal; the buffer is wiped before it goes.
std::optional<QString> readRecoveryKey()
{
    char buffer[512] = {};
    const int flags = ::isatty(STDIN_FILENO) ? RPP_REQUIRE_TTY : RPP_STDIN;
    const char* read = ::readpassphrase("Recovery key: ", buffer, sizeof buffer, flags);
    std::optional<QString> typed;
    if (read)
        typed = QString::fromUtf8(buffer, static_cast<qsizetype>(qstrnlen(buffer, sizeof buffer)));
    Crypto::wipe(buffer, sizeof buffer);
    return typed;
}

} // namespace

QString expandedTilde(const QString& path)
{
    if (!path.startsWith(u'~'))
        return path;
    const qsizetype slash = path.indexOf(u'/');
    const QString user = path.mid(1, slash < 0 ? -1 : slash - 1);
    const QString rest = slash < 0 ? QString() : path.mid(slash);
    if (user.isEmpty())
        return QString(QDir::homePath() + rest);
    const passwd* entry = ::getpwnam(user.toLocal8Bit().constData());
    if (!entry || !entry->pw_dir)
        return path;
    return QString(QString::fromLocal8Bit(entry->pw_dir) + rest);
}

std::optional<int> run(const QStringList& arguments)
{
    const qsizetype exportAt = arguments.indexOf(QStringLiteral("--export-plain"));
    const bool restore = arguments.contains(QStringLiteral("--restore-key"));
    const bool check = arguments.contains(QStringLiteral("--keychain-check"));
    if (exportAt < 0 && !restore && !check)
        return std::nullopt;

    silenceLibraryMessages();
    if (exportAt >= 0) {
        if (exportAt + 1 >= arguments.size()) {
            printLine(QStringLiteral("Usage: QuendrilPad --export-plain <folder>"));
            return 2;
        }
        return exportPlain(expandedTilde(arguments[exportAt + 1]));
    }
    if (restore)
        return restoreKey();
    return keychainCheck();
}

int exportPlain(const QString& destination)
{
    const auto keys = AppPaths::keyStore();
    if (!keys) {
        printLine(AppPaths::keySource().message);
        return 2;
    }
    SheetEncryption encryption = SheetEncryption::locked();
    if (const auto stored = keys->loadKey(); stored && stored->has_value()) {
        if (auto cipher = SheetCipher::fromRecoveryKey(**stored))
            encryption = SheetEncryption::on(std::move(*cipher));
    }
    if (!encryption.isOn())
        printLine(QStringLiteral("No key found. Only plain sheets can be copied."));

    const QString notesFolder = AppPaths::notesFolder(currentSettings());
    const SheetStore store(notesFolder, QTimeZone::systemTimeZone(), std::move(encryption));
    const QString folder = absoluteFolder(destination);
    const SheetStore::ExportResult result = store.exportPlain(folder);

    printLine(QStringLiteral("Wrote %1 sheets to %2").arg(result.written).arg(folder));
    if (result.failed.isEmpty())
        return 0;
    printLine(QStringLiteral("These %1 sheets did not open:").arg(result.failed.size()));
    for (const QString& name : result.failed)
        printLine(QString(u"  " + name));
    return 1;
}

int restoreKey()
{
    const auto keys = AppPaths::keyStore();
    if (!keys) {
        printLine(AppPaths::keySource().message);
        return 2;
    }
    std::optional<QString> typed = readRecoveryKey();
    if (!typed) {
        printLine(QStringLiteral("No key read."));
        return 2;
    }

    const QString notesFolder = AppPaths::notesFolder(currentSettings());
    const SheetStore store(notesFolder, QTimeZone::systemTimeZone(), SheetEncryption::off());
    const auto restored = SheetKeys::restore(*typed, *keys, store);
    typed->fill(QChar(0));
    if (restored) {
        printLine(QStringLiteral("Done. The key opens %1 sheets in %2. Start Quendril Pad.")
                      .arg(*restored)
                      .arg(notesFolder));
        return 0;
    }
    switch (restored.error()) {
    case SheetKeysError::notAKey:
        printLine(
            QStringLiteral("That is not a recovery key. It is 44 characters and ends with =."));
        break;
    case SheetKeysError::keyAlreadyStored:
        printLine(QStringLiteral("A key is in the keyring already. Nothing changed."));
        break;
    case SheetKeysError::opensNoSheet:
        printLine(
            QStringLiteral("That key opens no sheet in %1. Nothing changed.").arg(notesFolder));
        break;
    case SheetKeysError::saveFailed:
        printLine(QStringLiteral("The key could not be saved in the keyring."));
        break;
    }
    return 1;
}

int keychainCheck()
{
    KeychainKeyStore item(QStringLiteral("local.quendrilpad.check"), QStringLiteral("sheet-key"));
    (void)item.deleteKey(); // a test item left over by an earlier run

    bool roundTrip = false;
    const auto key = SheetCipher::makeKey();
    if (!key) {
        printLine(QStringLiteral("FAIL keychain check: no random key"));
    } else {
        const QString text = SheetCipher(*key).recoveryKey();
        if (const auto saved = item.saveKey(text); !saved) {
            printLine(QString(u"FAIL keychain check: " + saved.error().description()));
        } else if (const auto loaded = item.loadKey(); !loaded) {
            printLine(QString(u"FAIL keychain check: " + loaded.error().description()));
        } else {
            roundTrip = loaded->has_value() && **loaded == text;
        }
    }

    const bool deleted = item.deleteKey().has_value();
    const auto after = item.loadKey();
    const bool stillThere = after && after->has_value();
    const bool gone = deleted && !stillThere;
    if (!roundTrip || !gone) {
        printLine(QStringLiteral("FAIL keychain check: saved and read %1, deleted %2")
                      .arg(roundTrip ? u"true" : u"false", gone ? u"true" : u"false"));
        return 1;
    }
    printLine(QStringLiteral("PASS keychain check"));
    return 0;
}

} // namespace CommandLineModes
