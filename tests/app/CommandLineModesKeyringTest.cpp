#include "QuendrilCore/SheetCipher.h"

#include "KeyringSession.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>

// The command-line modes as a user runs them: the built executable in throwaway folders, with
// the two overrides of a test run, so that neither the real keyring item nor a real notes
// folder can be reached. Each run's whole standard output and exit status are compared, and
// standard error must stay empty.
namespace {

struct PadRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

class CommandLineModesTest : public TempDirTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(KeyringSession::isPrivate()) << "run through tests/support/with-keyring";
        home = temp.mkdir(QStringLiteral("home"));
        support = temp.filePath(QStringLiteral("support"));
        notes = temp.mkdir(QStringLiteral("notes"));
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString(home + u"/.config"));
        environment.insert(QStringLiteral("QUENDRIL_APP_SUPPORT"), support);
        environment.insert(QStringLiteral("QUENDRIL_NOTES_FOLDER"), notes);
        environment.remove(QStringLiteral("DISPLAY"));
    }

    PadRun pad(const QStringList& arguments, const QByteArray& input = {}) const
    {
        return run(QStringLiteral(QUENDRIL_PAD_EXE), arguments, input);
    }

    PadRun run(const QString& program, const QStringList& arguments,
               const QByteArray& input = {}) const
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(temp.path());
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForStarted(10000));
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    // Three sheets: one plain, two sealed with `key`.
    void writeSheets() const
    {
        temp.write(QStringLiteral("notes/2024-03-05 09.07.03.txt"), "plain one\n");
        temp.write(QStringLiteral("notes/2024-03-06 10.00.00.txt"), *key.encrypt(u"secret one"));
        temp.write(QStringLiteral("notes/2024-03-07 11.00.00.txt"), *key.encrypt(u"secret two ü"));
    }

    void storeKey(const QString& text) const
    {
        temp.write(QStringLiteral("support/dev-sheet-key.txt"), text.toUtf8());
    }

    QMap<QString, QByteArray> contents(const QString& folder) const
    {
        QMap<QString, QByteArray> files;
        const QDir dir(folder);
        for (const QString& name :
             dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            QFile file(dir.filePath(name));
            files[name] =
                file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
        }
        return files;
    }

    static QByteArray lines(const QStringList& lines)
    {
        QByteArray bytes;
        for (const QString& line : lines)
            bytes += line.toUtf8() + '\n';
        return bytes;
    }

    const SheetCipher key{*SheetCipher::makeKey()};
    QString home;
    QString support;
    QString notes;
    QProcessEnvironment environment;
};

void expectRun(const PadRun& run, int status, const QByteArray& out)
{
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.status, status);
    EXPECT_EQ(run.err, QByteArray());
}

const QStringList encryptedNames{QStringLiteral("  2024-03-06 10.00.00.txt"),
                                 QStringLiteral("  2024-03-07 11.00.00.txt")};

} // namespace

TEST_F(CommandLineModesTest, ExportWritesAPlainCopyOfEverySheetTheKeyOpens)
{
    writeSheets();
    storeKey(key.recoveryKey());
    const auto before = contents(notes);
    const QString destination = temp.filePath(QStringLiteral("copy/nested"));

    expectRun(pad({QStringLiteral("--export-plain"), destination}), 0,
              lines({QString(u"Wrote 3 sheets to " + destination)}));
    const QMap<QString, QByteArray> expected{
        {QStringLiteral("2024-03-05 09.07.03.txt"), "plain one\n"},
        {QStringLiteral("2024-03-06 10.00.00.txt"), "secret one"},
        {QStringLiteral("2024-03-07 11.00.00.txt"), "secret two ü"}};
    EXPECT_EQ(contents(destination), expected);
    EXPECT_EQ(contents(notes), before);
}

TEST_F(CommandLineModesTest, ExportWithoutTheRightKeyCopiesOnlyPlainSheets)
{
    struct Row {
        const char* name;
        std::optional<QString> storedKey;
        bool noKeyLine;
    };
    const Row rows[] = {
        {"no key stored", std::nullopt, true},
        {"a stored text that is no key", QStringLiteral("not a key"), true},
        {"another folder's key", SheetCipher(*SheetCipher::makeKey()).recoveryKey(), false},
    };
    writeSheets();
    const auto before = contents(notes);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(QString(support + u"/dev-sheet-key.txt"));
        if (row.storedKey)
            storeKey(*row.storedKey);
        const QString destination = temp.filePath(QString::fromUtf8(row.name));
        QStringList expected;
        if (row.noKeyLine)
            expected << QStringLiteral("No key found. Only plain sheets can be copied.");
        expected << QString(u"Wrote 1 sheets to " + destination)
                 << QStringLiteral("These 2 sheets did not open:") << encryptedNames;
        expectRun(pad({QStringLiteral("--export-plain"), destination}), 1, lines(expected));
        EXPECT_EQ(contents(destination).keys(),
                  QStringList{QStringLiteral("2024-03-05 09.07.03.txt")});
        EXPECT_EQ(contents(notes), before);
    }
}

TEST_F(CommandLineModesTest, ExportIntoTheNotesFolderItselfWritesNothing)
{
    writeSheets();
    storeKey(key.recoveryKey());
    const auto before = contents(notes);
    expectRun(pad({QStringLiteral("--export-plain"), QString(notes + u"/.")}), 1,
              lines(QStringList{QString(u"Wrote 0 sheets to " + notes + u"/."),
                                QStringLiteral("These 3 sheets did not open:"),
                                QStringLiteral("  2024-03-05 09.07.03.txt")} +
                    encryptedNames));
    EXPECT_EQ(contents(notes), before);
}

TEST_F(CommandLineModesTest, ExportOfAnEmptyFolderWritesNoSheets)
{
    storeKey(key.recoveryKey());
    const QString destination = temp.filePath(QStringLiteral("copy"));
    expectRun(pad({QStringLiteral("--export-plain"), destination}), 0,
              lines({QString(u"Wrote 0 sheets to " + destination)}));
}

TEST_F(CommandLineModesTest, ArgumentsChooseOneModeInOrder)
{
    writeSheets();
    storeKey(key.recoveryKey());
    const QByteArray usage = "Usage: QuendrilPad --export-plain <folder>\n";
    struct Row {
        const char* name;
        QStringList arguments;
        int status;
        QByteArray out;
    };
    const Row rows[] = {
        {"export without a folder", {QStringLiteral("--export-plain")}, 2, usage},
        {"export without a folder wins over restore",
         {QStringLiteral("--restore-key"), QStringLiteral("--export-plain")},
         2,
         usage},
        {"export wins and expands the home folder",
         {QStringLiteral("--keychain-check"), QStringLiteral("--restore-key"),
          QStringLiteral("--export-plain"), QStringLiteral("~/copy")},
         0,
         lines({QString(u"Wrote 3 sheets to " + home + u"/copy")})},
        {"home folder alone",
         {QStringLiteral("--export-plain"), QStringLiteral("~")},
         0,
         lines({QString(u"Wrote 3 sheets to " + home)})},
        {"restore wins over the check",
         {QStringLiteral("--keychain-check"), QStringLiteral("--restore-key")},
         1,
         "A key is in the keyring already. Nothing changed.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        expectRun(pad(row.arguments, key.recoveryKey().toUtf8()), row.status, row.out);
    }
    EXPECT_EQ(contents(QString(home + u"/copy")).size(), 3);
}

TEST_F(CommandLineModesTest, ARefusedKeySourceStopsExportAndRestore)
{
    writeSheets();
    struct Row {
        const char* name;
        std::optional<QString> support;
        QString notes;
        QByteArray out;
    };
    const QByteArray onlyOne = "Set both QUENDRIL_APP_SUPPORT and QUENDRIL_NOTES_FOLDER for a test "
                               "run. Sheets stay locked.\n";
    const Row rows[] = {
        {"only the notes override", std::nullopt, notes, onlyOne},
        {"only the support override", support, QString(), onlyOne},
        {"the real notes folder", support, QString(home + u"/Quendrils"),
         "QUENDRIL_NOTES_FOLDER is the real notes folder. Sheets stay locked.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.support)
            environment.insert(QStringLiteral("QUENDRIL_APP_SUPPORT"), *row.support);
        else
            environment.remove(QStringLiteral("QUENDRIL_APP_SUPPORT"));
        environment.insert(QStringLiteral("QUENDRIL_NOTES_FOLDER"), row.notes);
        expectRun(pad({QStringLiteral("--export-plain"), temp.filePath(QStringLiteral("copy"))}), 2,
                  row.out);
        expectRun(pad({QStringLiteral("--restore-key")}, key.recoveryKey().toUtf8()), 2, row.out);
    }
    EXPECT_FALSE(QFile::exists(temp.filePath(QStringLiteral("copy"))));
    EXPECT_FALSE(QFile::exists(QString(support + u"/dev-sheet-key.txt")));
}

TEST_F(CommandLineModesTest, RestorePutsAPipedKeyBackTrimmed)
{
    writeSheets();
    const auto before = contents(notes);
    expectRun(
        pad({QStringLiteral("--restore-key")},
            QByteArray(" \t" + key.recoveryKey().toUtf8() + "  \n")),
        0,
        lines({QString(u"Done. The key opens 2 sheets in " + notes + u". Start Quendril Pad.")}));
    const QString keyFile = support + u"/dev-sheet-key.txt";
    EXPECT_EQ(temp.read(QStringLiteral("support/dev-sheet-key.txt")), key.recoveryKey().toUtf8());
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(keyFile).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(contents(notes), before);
}

TEST_F(CommandLineModesTest, RestoreChangesNothingForAKeyItCannotUse)
{
    writeSheets();
    const QString other = SheetCipher(*SheetCipher::makeKey()).recoveryKey();
    struct Row {
        const char* name;
        QByteArray input;
        std::optional<QString> stored;
        QByteArray out;
    };
    const QByteArray notAKey = "That is not a recovery key. It is 44 characters and ends with =.\n";
    const Row rows[] = {
        {"43 characters", key.recoveryKey().left(43).toUtf8() + "\n", std::nullopt, notAKey},
        {"31 bytes", "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHg==\n", std::nullopt, notAKey},
        {"nothing piped", "", std::nullopt, notAKey},
        {"another folder's key", other.toUtf8() + "\n", std::nullopt,
         lines({QString(u"That key opens no sheet in " + notes + u". Nothing changed.")})},
        {"the same key stored already", key.recoveryKey().toUtf8(), key.recoveryKey(),
         "A key is in the keyring already. Nothing changed.\n"},
        {"another key stored already", key.recoveryKey().toUtf8(), other,
         "A key is in the keyring already. Nothing changed.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(QString(support + u"/dev-sheet-key.txt"));
        if (row.stored)
            storeKey(*row.stored);
        expectRun(pad({QStringLiteral("--restore-key")}, row.input), 1, row.out);
        EXPECT_EQ(temp.read(QStringLiteral("support/dev-sheet-key.txt")),
                  row.stored ? row.stored->toUtf8() : QByteArray());
    }
}

TEST_F(CommandLineModesTest, RestoreReportsAKeyItCouldNotReadOrSave)
{
    writeSheets();
    const PadRun closed =
        run(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("exec 0<&-; exec \"$0\" --restore-key"),
             QStringLiteral(QUENDRIL_PAD_EXE)});
    expectRun(closed, 2, "No key read.\n");

    // A support folder that is a file: the key file cannot be made.
    temp.write(QStringLiteral("support-file"), "x");
    environment.insert(QStringLiteral("QUENDRIL_APP_SUPPORT"),
                       temp.filePath(QStringLiteral("support-file")));
    expectRun(pad({QStringLiteral("--restore-key")}, key.recoveryKey().toUtf8()), 1,
              "The key could not be saved in the keyring.\n");
}

TEST_F(CommandLineModesTest, RestoreFromATerminalReadsWithoutEcho)
{
    writeSheets();
    // A pseudo-terminal as standard input: the prompt goes to the terminal, the typed key is not
    // echoed, and the mode's line still reaches standard output.
    const QString script = QStringLiteral(R"(
import os, pty, signal, sys, termios
signal.alarm(20)
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], [sys.argv[1], '--restore-key'])
seen = b''
while b'Recovery key: ' not in seen:
    seen += os.read(fd, 100)
echo = termios.tcgetattr(fd)[3] & termios.ECHO
os.write(fd, sys.argv[2].encode() + b'\n')
rest = b''
while True:
    try:
        chunk = os.read(fd, 1000)
    except OSError:
        break
    if not chunk:
        break
    rest += chunk
os.waitpid(pid, 0)
sys.stdout.write('echo=%d\n' % (1 if echo else 0))
sys.stdout.write((seen + rest).decode().replace('\r\n', '\n'))
)");
    const PadRun terminal =
        run(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), script, QStringLiteral(QUENDRIL_PAD_EXE), key.recoveryKey()});
    EXPECT_EQ(terminal.err, QByteArray());
    EXPECT_EQ(terminal.out, lines({QStringLiteral("echo=0"),
                                   QString(u"Recovery key: \nDone. The key opens 2 sheets in " +
                                           notes + u". Start Quendril Pad.")}));
    EXPECT_EQ(temp.read(QStringLiteral("support/dev-sheet-key.txt")), key.recoveryKey().toUtf8());
}

TEST_F(CommandLineModesTest, KeychainCheckRoundTripsAThrowawayItem)
{
    const auto secretTool = [](const QStringList& arguments, const QByteArray& input = {}) {
        return KeyringSession::runTool(QStringLiteral("secret-tool"), arguments, input);
    };
    // A test item left over by a run that was cut short does not get in the way.
    ASSERT_EQ(secretTool({QStringLiteral("store"), QStringLiteral("--label=left over"),
                          QStringLiteral("service"), QStringLiteral("local.quendrilpad.check"),
                          QStringLiteral("account"), QStringLiteral("sheet-key")},
                         "old")
                  .status,
              0);
    expectRun(pad({QStringLiteral("--keychain-check")}), 0, "PASS keychain check\n");

    for (const char* service : {"local.quendrilpad.check", "local.quendrilpad"}) {
        SCOPED_TRACE(service);
        const auto search = secretTool({QStringLiteral("search"), QStringLiteral("--all"),
                                        QStringLiteral("service"), QString::fromUtf8(service),
                                        QStringLiteral("account"), QStringLiteral("sheet-key")});
        EXPECT_FALSE(search.out.contains("label = ")) << search.out.constData();
    }
}

TEST_F(CommandLineModesTest, KeychainCheckFailsTwiceWithoutASecretService)
{
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QString(u"unix:path=" + temp.filePath(QStringLiteral("no-bus"))));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), temp.path());
    expectRun(pad({QStringLiteral("--keychain-check")}), 1,
              "FAIL keychain check: Keyring error 1\n"
              "FAIL keychain check: saved and read false, deleted false\n");

    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    const PadRun noBus = pad({QStringLiteral("--keychain-check")});
    EXPECT_EQ(noBus.status, 1);
    EXPECT_TRUE(noBus.out.startsWith("FAIL keychain check: Keyring error "))
        << noBus.out.constData();
    EXPECT_TRUE(noBus.out.endsWith("\nFAIL keychain check: saved and read false, deleted false\n"));
    EXPECT_EQ(noBus.out.count('\n'), 2);
    EXPECT_EQ(noBus.err, QByteArray());
}
