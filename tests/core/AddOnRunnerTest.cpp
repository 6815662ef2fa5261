#include "QuendrilCore/AddOnRunner.h"

#include "TempDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

void PrintTo(const AddOnRun& run, std::ostream* out)
{
    if (const auto* finished = run.as<AddOnRun::Finished>())
        *out << "finished(" << finished->status << ", \""
             << finished->output.first(std::min<qsizetype>(finished->output.size(), 200))
                    .toStdString()
             << "\" [" << finished->output.size() << " bytes], \""
             << finished->errors.first(std::min<qsizetype>(finished->errors.size(), 200))
                    .toStdString()
             << "\" [" << finished->errors.size() << " bytes])";
    else if (const auto* timedOut = run.as<AddOnRun::TimedOut>())
        *out << "timedOut(" << timedOut->seconds << ")";
    else if (const auto* failed = run.as<AddOnRun::CouldNotStart>())
        *out << "couldNotStart(" << failed->error.toStdString() << ")";
    else
        *out << "tooMuchOutput";
}

namespace {

constexpr double shortLimit = 0.3;

// Writes an executable shell script into the folder; returns its path.
QString script(const TempDir& dir, const QString& name, const QByteArray& body)
{
    const QString path = dir.write(name, QByteArray("#!/bin/sh\n" + body + "\n"));
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

QString systemText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Whether a process has ended: gone, or a zombie nobody has reaped yet. A signal takes a moment
// to end a process, so this waits a little.
bool hasEnded(const QByteArray& pid)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        QFile stat(QString::fromLatin1("/proc/" + pid.trimmed() + "/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray fields = stat.readAll();
        const qsizetype end = fields.lastIndexOf(')');
        if (end > 0 && fields.mid(end + 2, 1) == "Z")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool pipeSignalBlockedOrPending()
{
    sigset_t mask;
    sigset_t pending;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    sigpending(&pending);
    return sigismember(&mask, SIGPIPE) == 1 || sigismember(&pending, SIGPIPE) == 1;
}

} // namespace

class AddOnRunnerTest : public TempDirTest {};

TEST_F(AddOnRunnerTest, ReportsHowTheRunEnded)
{
    const QString million(1'000'000, u'x');
    const QString mixed = QString(u"héllo, wörld ✓ 𝄞\n"_qs).repeated(50'000);
    const struct {
        const char* name;
        QByteArray body;
        QString input;
        qsizetype limitBytes;
        AddOnRun expected;
    } rows[] = {
        {"exit 3 with an error line",
         "echo 'bad thing' >&2; exit 3",
         {},
         100,
         AddOnRun::finished(3, {}, "bad thing\n")},
        {"exit 3 silently", "exit 3", {}, 100, AddOnRun::finished(3, {})},
        {"ended by SIGSEGV", "kill -SEGV $$", {}, 100, AddOnRun::finished(139, {})},
        {"empty input is end of file", "cat; echo end", {}, 100, AddOnRun::finished(0, "end\n")},
        {"input echoed", "cat", mixed, 10'000'000, AddOnRun::finished(0, mixed.toUtf8())},
        {"a megabyte of input ignored", "exit 0", million, 100, AddOnRun::finished(0, {})},
        {"input read in part", "head -c 10", million, 100, AddOnRun::finished(0, "xxxxxxxxxx")},
        {"output at the limit", "printf 0123456789", {}, 10, AddOnRun::finished(0, "0123456789")},
        {"output past the limit", "printf 0123456789A", {}, 10, AddOnRun::tooMuchOutput()},
        {"eleven million bytes",
         "head -c 11000000 /dev/zero",
         {},
         AddOnRunner::outputLimit,
         AddOnRun::tooMuchOutput()},
        {"error output kept to 64 KiB and drained",
         "head -c 1000000 /dev/zero >&2; echo done",
         {},
         100,
         AddOnRun::finished(0, "done\n", QByteArray(65'536, '\0'))},
        {"run by its path without arguments",
         "printf '%s|%s' \"$0\" $#",
         {},
         1000,
         AddOnRun::finished(0, temp.filePath(u"run by its path without arguments"_qs).toUtf8() +
                                   "|0")},
        {"in its own folder",
         "pwd",
         {},
         1000,
         AddOnRun::finished(0, QDir(temp.path()).canonicalPath().toUtf8() + "\n")},
        {"in its own process group",
         "[ \"$(sed 's/.*) //' /proc/$$/stat | cut -d' ' -f3)\" = $$ ] && echo own",
         {},
         100,
         AddOnRun::finished(0, "own\n")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = script(temp, QString::fromUtf8(row.name), row.body);
        EXPECT_EQ(AddOnRunner::run(path, row.input, 5, row.limitBytes), row.expected);
        EXPECT_FALSE(pipeSignalBlockedOrPending());
    }
}

TEST_F(AddOnRunnerTest, CouldNotStartGivesTheSystemText)
{
    const QString plain = temp.write(u"plain"_qs, "#!/bin/sh\necho hi\n");
    const QString noInterpreter = temp.write(u"no interpreter"_qs, "echo hi\n");
    QFile::setPermissions(noInterpreter, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const struct {
        const char* name;
        QString path;
        int error;
    } rows[] = {
        {"not executable", plain, EACCES},
        {"missing", temp.filePath(u"missing"_qs), ENOENT},
        {"a folder", temp.mkdir(u"folder"_qs), EACCES},
        {"no interpreter line", noInterpreter, ENOEXEC},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AddOnRunner::run(row.path, u"input", 5, 100),
                  AddOnRun::couldNotStart(systemText(row.error)));
    }
}

TEST_F(AddOnRunnerTest, StopsTheWholeGroupAtTheTimeLimit)
{
    const struct {
        const char* name;
        QByteArray body;
    } rows[] = {
        {"waits for its child", "sleep 10 & echo $! > child.pid; wait"},
        {"ignores SIGTERM", "trap '' TERM; sleep 10 & echo $! > child.pid; wait; wait"},
        {"child outlives SIGTERM", "(trap '' TERM; sleep 10) & echo $! > child.pid; exec sleep 10"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(temp.filePath(u"child.pid"_qs));
        const QString path = script(temp, u"late"_qs, row.body);
        EXPECT_EQ(AddOnRunner::run(path, {}, shortLimit, 100), AddOnRun::timedOut(shortLimit));
        const QByteArray child = temp.read(u"child.pid"_qs);
        ASSERT_FALSE(child.isEmpty());
        EXPECT_TRUE(hasEnded(child)) << "child " << child.trimmed().toStdString();
    }
}

TEST_F(AddOnRunnerTest, StopsAtTheRealTimeLimit)
{
    const QString path = script(temp, u"slow"_qs, "sleep 10");
    QElapsedTimer clock;
    clock.start();
    const AddOnRun run =
        AddOnRunner::run(path, {}, AddOnRunner::timeLimit, AddOnRunner::outputLimit);
    EXPECT_GE(clock.elapsed(), 5000);
    EXPECT_EQ(run, AddOnRun::timedOut(5));
    EXPECT_EQ(run.outcome(u"Name"_qs).message, u"Name took more than 5 seconds and was stopped"_qs);
}

TEST_F(AddOnRunnerTest, ReturnsWhileADescendantKeepsAPipeOpen)
{
    const QString million(1'000'000, u'x');
    const struct {
        const char* name;
        QByteArray body;
    } rows[] = {
        // Out of the process group, so nothing stops it: the readers give up after a second.
        {"holds the output", "setsid sleep 5 & echo hi"},
        // Holds the input without reading it, so the rest of the input can never be written.
        {"holds the input", "setsid sleep 5 >/dev/null 2>&1 & echo hi"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = script(temp, u"escapes"_qs, row.body);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(AddOnRunner::run(path, million, 5, 100), AddOnRun::finished(0, "hi\n"));
        EXPECT_LT(clock.elapsed(), 4000);
    }
}

TEST_F(AddOnRunnerTest, ChildGetsACleanProcessState)
{
    // A descriptor left open without close-on-exec, a blocked and an ignored signal: none of
    // them may reach the add-on.
    const QString leak = temp.write(u"leaked-descriptor"_qs, {});
    const int fd = ::open(QFile::encodeName(leak).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    sigset_t previousMask;
    pthread_sigmask(SIG_BLOCK, &usr1, &previousMask);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousAction {};
    sigaction(SIGUSR2, &ignore, &previousAction);

    const QString path = script(temp, u"state"_qs,
                                "ls -l /proc/$$/fd | grep -c leaked-descriptor;"
                                "grep -E '^Sig(Blk|Ign)' /proc/self/status");
    // The C library keeps its two internal real-time signals (32, 33) ignored in a spawned child;
    // every signal a program can use is checked.
    const AddOnRun run = AddOnRunner::run(path, {}, 5, 1000);

    sigaction(SIGUSR2, &previousAction, nullptr);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::close(fd);
    const auto* finished = run.as<AddOnRun::Finished>();
    ASSERT_TRUE(finished) << ::testing::PrintToString(run);
    const QList<QByteArray> lines = finished->output.split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "0");
    EXPECT_EQ(lines[1], "SigBlk:\t0000000000000000");
    ASSERT_TRUE(lines[2].startsWith("SigIgn:\t"));
    EXPECT_EQ(lines[2].mid(8).toULongLong(nullptr, 16) & ~0x180000000ULL, 0u)
        << lines[2].toStdString();
}

TEST_F(AddOnRunnerTest, PutsTheUserToolFoldersInFrontOfPath)
{
    const QString path = script(temp, u"path"_qs, "printf %s \"$PATH\"");
    const QByteArray home = QFile::encodeName(QDir::homePath());
    const QByteArray saved = qgetenv("PATH");
    const struct {
        const char* name;
        std::optional<QByteArray> path;
        QByteArray expected;
    } rows[] = {
        {"with a PATH", QByteArray("/opt/x/bin:/bin"),
         home + "/.local/bin:/usr/local/bin:/opt/x/bin:/bin"},
        {"without a PATH", std::nullopt,
         home + "/.local/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin"},
        {"with an empty PATH", QByteArray(),
         home + "/.local/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.path)
            qputenv("PATH", *row.path);
        else
            qunsetenv("PATH");
        EXPECT_EQ(AddOnRunner::run(path, {}, 5, 1000), AddOnRun::finished(0, row.expected));
    }
    qputenv("PATH", saved);
}

TEST_F(AddOnRunnerTest, RunsFromSeveralThreadsAtOnce)
{
    // A slow run must not hold up the quick ones, as it would if it inherited their input pipes.
    const QString slow = script(temp, u"slow"_qs, "sleep 2");
    const QString echo = script(temp, u"echo"_qs, "cat");
    std::atomic<bool> slowDone = false;
    std::thread slowRun([&] {
        EXPECT_EQ(AddOnRunner::run(slow, {}, 5, 100), AddOnRun::finished(0, {}));
        slowDone = true;
    });
    std::vector<std::thread> quickRuns;
    std::atomic<int> quickBeforeSlow = 0;
    for (int t = 0; t < 4; ++t)
        quickRuns.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const QString input = QString::number(t * 100 + i);
                EXPECT_EQ(AddOnRunner::run(echo, input, 5, 100),
                          AddOnRun::finished(0, input.toUtf8()));
            }
            if (!slowDone)
                ++quickBeforeSlow;
        });
    for (std::thread& run : quickRuns)
        run.join();
    slowRun.join();
    EXPECT_EQ(quickBeforeSlow, 4);
}
