#include "QuendrilCore/SheetStore.h"

#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

// The store against the real kernel: the order of its system calls, a process killed mid-write,
// a full disk and a read-only file system.

namespace {

const QString sheetName = u"2024-03-05 09.07.03.txt"_qs;

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Runs quendril-tool under strace and returns the trace lines of the write path.
QStringList traced(const QStringList& arguments, const QByteArray& input, const QByteArray& key)
{
    TempDir scratch;
    const QString log = scratch.filePath(u"trace"_qs);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!key.isEmpty())
        environment.insert(u"QUENDRIL_SHEET_KEY"_qs, QString::fromLatin1(key));
    process.setProcessEnvironment(environment);
    process.start(u"strace"_qs, QStringList{u"-f"_qs, u"-qq"_qs, u"-o"_qs, log, u"-e"_qs,
                                            u"trace=openat,write,fdatasync,fsync,close,renameat,renameat2,linkat,unlinkat"_qs,
                                            QString::fromUtf8(QUENDRIL_TOOL_EXE)} +
                                arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    QFile file(log);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList lines;
    bool started = false;
    for (const QByteArray& line : file.readAll().split('\n')) {
        // Everything from the opening of the folder for the write on.
        if (line.contains("O_DIRECTORY") && line.contains(QFile::encodeName(QDir::tempPath())))
            started = true;
        if (started)
            lines.append(QString::fromUtf8(line.mid(line.indexOf(' ') + 1).trimmed()));
    }
    return lines;
}

// The index of the first line matching `pattern` at or after `from`, else -1.
qsizetype find(const QStringList& lines, const QString& pattern, qsizetype from = 0)
{
    if (from < 0)
        return -1;
    const QRegularExpression expression(pattern);
    for (qsizetype i = from; i < lines.size(); ++i) {
        if (expression.match(lines[i]).hasMatch())
            return i;
    }
    return -1;
}

} // namespace

TEST(SheetStoreSystem, WritePathFlushesDataBeforeTheRenameAndTheFolderAfterIt)
{
    if (QStandardPaths::findExecutable(u"strace"_qs).isEmpty())
        GTEST_SKIP() << "needs strace";
    TempDir temp;
    const QString url = temp.write(sheetName, "old");
    const QByteArray key = SheetCipher(QByteArray(32, 'k')).recoveryKey().toLatin1();
    const struct {
        const char* name;
        QStringList arguments;
        QByteArray key;
        QString rename;
        int writes;
    } rows[] = {
        {"write plain", {u"sheet-write"_qs, url}, {}, u"^renameat\\(\\d+, \"\\.quendril-.*\\.tmp\", \\d+, \"2024"_qs, 1},
        {"write encrypted", {u"sheet-write"_qs, url}, key, u"^renameat\\(\\d+, \"\\.quendril-.*\\.tmp\", \\d+, \"2024"_qs, 2},
        {"create", {u"sheet-create"_qs, temp.path()}, {}, u"^renameat2\\(.*RENAME_NOREPLACE\\)\\s+= 0"_qs, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QStringList lines = traced(row.arguments, "new text\n", row.key);
        const QString all = lines.join(u'\n');
        const qsizetype folder = find(lines, u"^openat\\(AT_FDCWD, .*O_DIRECTORY.*\\s= (\\d+)$"_qs);
        ASSERT_GE(folder, 0) << all.toStdString();
        const QString folderFd = QRegularExpression(u"= (\\d+)$"_qs).match(lines[folder]).captured(1);
        const qsizetype open = find(lines,
                                    u"^openat\\(" + folderFd +
                                        u", \"\\.quendril-[0-9a-f-]{36}\\.tmp\", O_WRONLY\\|O_CREAT\\|O_EXCL.*O_CLOEXEC, 0644\\)\\s+= \\d+$",
                                    folder);
        ASSERT_GT(open, folder) << all.toStdString();
        const QString fileFd = QRegularExpression(u"= (\\d+)$"_qs).match(lines[open]).captured(1);
        qsizetype last = open;
        for (int i = 0; i < row.writes; ++i) {
            const qsizetype write = find(lines, u"^write\\(" + fileFd + u", ", last + 1);
            ASSERT_GT(write, last) << all.toStdString();
            last = write;
        }
        const qsizetype datasync = find(lines, u"^fdatasync\\(" + fileFd + u"\\)\\s+= 0", last);
        const qsizetype sync = find(lines, u"^fsync\\(" + fileFd + u"\\)\\s+= 0", datasync);
        const qsizetype close = find(lines, u"^close\\(" + fileFd + u"\\)\\s+= 0", sync);
        const qsizetype rename = find(lines, row.rename, close);
        const qsizetype folderSync = find(lines, u"^fsync\\(" + folderFd + u"\\)\\s+= 0", rename);
        EXPECT_GT(datasync, last) << all.toStdString();
        EXPECT_GT(sync, datasync) << all.toStdString();
        EXPECT_GT(close, sync) << all.toStdString();
        EXPECT_GT(rename, close) << all.toStdString();
        EXPECT_GT(folderSync, rename) << all.toStdString();
    }
}

TEST(SheetStoreSystem, KilledWritersLeaveOneCompleteVersion)
{
    // A child rewrites one sheet as fast as it can; each version's text tells its own length
    // and content, so a torn, mixed or empty file cannot pass for a version.
    auto version = [](int n) {
        const QString line = u"version " + QString::number(n) + u"\n";
        return line.repeated(1 + (n * 7919) % 600);
    };
    const SheetCipher cipher(QByteArray(32, 'c'));
    int kills = 0;
    for (const bool encrypted : {false, true}) {
        SCOPED_TRACE(encrypted ? "encrypted" : "plain");
        TempDir temp;
        const QString url = temp.filePath(sheetName);
        const SheetEncryption encryption = encrypted ? SheetEncryption::on(cipher) : SheetEncryption::off();
        {
            SheetStore store(temp.path(), QTimeZone::utc(), encryption);
            ASSERT_TRUE(store.write(version(0), url));
        }
        int last = 0;
        for (int round = 0; round < 150; ++round) {
            const int start = last + 1;
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                SheetStore store(temp.path(), QTimeZone::utc(), encryption);
                for (int n = start;; ++n) {
                    if (!store.write(version(n), url))
                        ::_exit(3);
                }
            }
            ::usleep(useconds_t(QRandomGenerator::global()->bounded(1000, 15000)));
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);
            ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
            ++kills;

            SheetStore reader(temp.path(), QTimeZone::utc(), encryption);
            const Result<SheetText, SheetStoreError> text = reader.read(url);
            ASSERT_TRUE(text) << "round " << round << ", error kind " << int(text.error().kind);
            EXPECT_EQ(text->wasEncrypted, encrypted);
            const qsizetype space = text->text.indexOf(u' ');
            const int n = text->text.mid(space + 1, text->text.indexOf(u'\n') - space - 1).toInt();
            ASSERT_EQ(text->text, version(n)) << "round " << round;
            ASSERT_GE(n, last) << "an older version came back";
            last = n;
        }
        // Killed writers leave temporary files (ensureFolder clears them after a day), nothing else.
        for (const QString& name : entries(temp.path())) {
            if (name != sheetName) {
                EXPECT_TRUE(name.startsWith(u".quendril-") && name.endsWith(u".tmp")) << name.toStdString();
            }
        }
    }
    EXPECT_EQ(kills, 300);
}

namespace {

// Runs `body` in a child process with a private mount namespace and a small tmpfs at `mountPoint`;
// the child's failures come back as text. Empty text means it passed; "SKIP ..." that it could not
// set the namespace up.
QString inPrivateTmpfs(const QString& mountPoint, const std::function<QString()>& body)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return u"pipe failed"_qs;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        QString report;
        if (::unshare(CLONE_NEWNS) != 0)
            report = u"SKIP unshare(CLONE_NEWNS): "_qs + QString::fromUtf8(strerror(errno));
        else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                 ::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=256k,mode=0755") != 0)
            report = u"SKIP mount tmpfs: "_qs + QString::fromUtf8(strerror(errno));
        else
            report = body();
        const QByteArray bytes = report.toUtf8();
        [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], bytes.constData(), size_t(bytes.size()));
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray output;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR);) {
        if (got > 0)
            output.append(buffer, got);
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        return u"the child crashed"_qs;
    return QString::fromUtf8(output);
}

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : u"<unreadable>"_qs;
}

// What went wrong, if anything, with a write that should fail with `error`.
QString expectRefusedWrite(SheetStore& store, const QString& text, const QString& url, int error, const QString& old)
{
    QString problems;
    const Result<void, SheetStoreError> written = store.write(text, url);
    if (written)
        problems += u"write succeeded; "_qs;
    else if (written.error() != SheetStoreError::writeFailed(error))
        problems += u"write failed with kind "_qs + QString::number(int(written.error().kind)) + u" errno " +
                    QString::number(written.error().code) + u"; ";
    if (readAll(url) != old)
        problems += u"the old sheet changed; "_qs;
    if (entries(store.folder()) != QStringList{sheetName})
        problems += u"files left: "_qs + entries(store.folder()).join(u", ") + u"; ";
    return problems;
}

} // namespace

TEST(SheetStoreSystem, RealFullDiskAndReadOnlyFileSystem)
{
    TempDir mountPoint;
    const QString report = inPrivateTmpfs(mountPoint.path(), [&]() -> QString {
        QString problems;
        const SheetCipher cipher(QByteArray(32, 'r'));
        for (const bool encrypted : {false, true}) {
            SheetStore store(mountPoint.path(), QTimeZone::utc(),
                             encrypted ? SheetEncryption::on(cipher) : SheetEncryption::off());
            const QString url = QString(mountPoint.path() + u'/' + sheetName);
            const QString old = u"the old version\n"_qs;
            if (!SheetStore(mountPoint.path(), QTimeZone::utc(), SheetEncryption::off()).write(old, url))
                return u"could not write the first version"_qs;
            // 400 KB on a 256 KB file system.
            problems += expectRefusedWrite(store, u"too much\n"_qs.repeated(45000), url, ENOSPC, old);
            // Space is back once the temporary file is gone.
            if (!store.write(u"fits\n"_qs.repeated(1000), url))
                problems += u"the disk stayed full; "_qs;
            if (!SheetStore(mountPoint.path(), QTimeZone::utc(), SheetEncryption::off()).write(old, url))
                return u"could not restore the first version"_qs;

            if (::mount(nullptr, QFile::encodeName(mountPoint.path()).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                        nullptr) != 0)
                return QString(u"remount read-only: "_qs + QString::fromUtf8(strerror(errno)));
            problems += expectRefusedWrite(store, u"new"_qs, url, EROFS, old);
            const Result<SheetFile, SheetStoreError> made = store.create(u"new", QDateTime::currentDateTimeUtc());
            if (made || made.error() != SheetStoreError::writeFailed(EROFS))
                problems += u"create on a read-only file system was not EROFS; "_qs;
            if (::mount(nullptr, QFile::encodeName(mountPoint.path()).constData(), nullptr, MS_REMOUNT, nullptr) != 0)
                return QString(u"remount read-write: "_qs + QString::fromUtf8(strerror(errno)));
        }
        return problems;
    });
    if (report.startsWith(u"SKIP"))
        GTEST_SKIP() << report.toStdString() << " (needs root, as in CI)";
    EXPECT_EQ(report, QString());
}
