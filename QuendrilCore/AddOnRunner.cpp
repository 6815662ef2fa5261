#include "QuendrilCore/AddOnRunner.h"

#include "QuendrilCore/FileDescriptor.h"
#include "QuendrilCore/Result.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr qsizetype blockSize = 65'536;
constexpr qsizetype errorsKept = 65'536;
constexpr auto terminateGrace = 1s;
constexpr auto readerGrace = 1s;

QString systemText(int code)
{
    char buffer[256];
    return QString::fromLocal8Bit(::strerror_r(code, buffer, sizeof buffer));
}

struct Pipe {
    FileDescriptor read;
    FileDescriptor write;
};

// Keeps a pipe end off descriptors 0 to 2, so that placing the three ends on 0, 1 and 2 in the
// child cannot overwrite one with another when the application runs with a standard stream
// closed.
int aboveStandardStreams(int fd)
{
    if (fd > 2)
        return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return moved;
}

// Close-on-exec from the start, so that a child spawned by another thread at the same moment
// never inherits one of these ends.
Result<Pipe, int> makePipe()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return unexpected(errno);
    Pipe pipe;
    pipe.read = FileDescriptor(aboveStandardStreams(fds[0]));
    const int readError = errno;
    pipe.write = FileDescriptor(aboveStandardStreams(fds[1]));
    if (!pipe.read.isValid())
        return unexpected(readError);
    if (!pipe.write.isValid())
        return unexpected(errno);
    return pipe;
}

void setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// NUL-terminated copies of strings followed by a null entry, as exec wants them; they live as
// long as this object.
class CStrings {
public:
    explicit CStrings(std::vector<QByteArray> strings)
        : m_strings(std::move(strings))
    {
        m_pointers.reserve(m_strings.size() + 1);
        for (QByteArray& string : m_strings)
            m_pointers.push_back(string.data());
        m_pointers.push_back(nullptr);
    }
    char* const* data() const { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_strings;
    std::vector<char*> m_pointers;
};

// The application's environment with the user's own tool folders in front of PATH.
std::vector<QByteArray> childEnvironment()
{
    QByteArray home = QFile::encodeName(QDir::homePath());
    while (home.endsWith('/'))
        home.chop(1);
    const QByteArray prefix = home + "/.local/bin:/usr/local/bin:";

    std::vector<QByteArray> entries;
    bool hasPath = false;
    for (char** entry = environ; entry && *entry; ++entry) {
        QByteArray text(*entry);
        if (text.startsWith("PATH=")) {
            // An empty PATH would leave a trailing colon, which means the working folder.
            if (hasPath || text.size() == 5)
                continue;
            hasPath = true;
            text = QByteArray("PATH=" + prefix + text.mid(5));
        }
        entries.push_back(std::move(text));
    }
    if (!hasPath)
        entries.push_back(QByteArray("PATH=" + prefix + "/usr/bin:/bin:/usr/sbin:/sbin"));
    return entries;
}

// Starts the add-on by its own path, in its own folder and process group, with the three pipe
// ends on descriptors 0 to 2 and every other descriptor closed.
Result<pid_t, QString> spawn(const QString& url, int in, int out, int err)
{
    const QFileInfo file(url);
    const QByteArray path = QFile::encodeName(file.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(file.absolutePath());

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (int code = ::posix_spawn_file_actions_init(&actions))
        return unexpected(systemText(code));
    if (int code = ::posix_spawnattr_init(&attributes)) {
        ::posix_spawn_file_actions_destroy(&actions);
        return unexpected(systemText(code));
    }

    sigset_t allSignals;
    sigset_t noSignals;
    ::sigfillset(&allSignals);
    ::sigemptyset(&noSignals);
    int code = 0;
    auto step = [&code](int result) {
        if (code == 0)
            code = result;
    };
    step(::posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO));
    step(::posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO));
    step(::posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO));
    step(::posix_spawn_file_actions_addchdir_np(&actions, folder.constData()));
    step(::posix_spawn_file_actions_addclosefrom_np(&actions, 3));
    step(::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                                     POSIX_SPAWN_SETSIGMASK));
    step(::posix_spawnattr_setpgroup(&attributes, 0));
    step(::posix_spawnattr_setsigdefault(&attributes, &allSignals));
    step(::posix_spawnattr_setsigmask(&attributes, &noSignals));

    pid_t pid = -1;
    if (code == 0) {
        const CStrings arguments({path});
        const CStrings environment(childEnvironment());
        code = ::posix_spawn(&pid, path.constData(), &actions, &attributes, arguments.data(),
                             environment.data());
    }
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    if (code != 0)
        return unexpected(systemText(code));
    return pid;
}

// Blocks SIGPIPE in the calling thread for the life of a run, so that writing into a pipe the
// add-on has closed gives EPIPE instead of ending the application.
class PipeSignalBlock {
public:
    PipeSignalBlock()
    {
        ::sigemptyset(&m_pipe);
        ::sigaddset(&m_pipe, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
        sigset_t pending;
        ::sigpending(&pending);
        m_wasPending = ::sigismember(&pending, SIGPIPE) == 1;
    }
    ~PipeSignalBlock() { ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    PipeSignalBlock(const PipeSignalBlock&) = delete;
    PipeSignalBlock& operator=(const PipeSignalBlock&) = delete;

    // Takes back the SIGPIPE an EPIPE write just raised, so that it never fires once the mask is
    // restored; one that was pending before the run is left alone.
    void clearRaised()
    {
        if (m_wasPending)
            return;
        const timespec now{};
        while (::sigtimedwait(&m_pipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }

private:
    sigset_t m_pipe;
    sigset_t m_previous;
    bool m_wasPending = false;
};

// One run in progress: the child, the three parent ends of its pipes, and what was read.
//
// A single thread serves all of it with poll: the input is written without blocking as the
// pipe takes it, both outputs are drained as they arrive, and the child's exit is seen through
// its pidfd (or a poll every millisecond where pidfds are not available).
class Run {
public:
    Run(pid_t pid, FileDescriptor input, FileDescriptor output, FileDescriptor errors,
        QByteArray bytes, qsizetype limitBytes)
        : m_pid(pid)
        , m_input(std::move(input))
        , m_output(std::move(output))
        , m_errors(std::move(errors))
        , m_bytes(std::move(bytes))
        , m_limit(limitBytes)
    {
        // Called directly: the library's header for it lacks C linkage for C++ callers.
        m_exitWatch = FileDescriptor(static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0)));
        setNonBlocking(m_input.get());
        setNonBlocking(m_output.get());
        setNonBlocking(m_errors.get());
        if (m_bytes.isEmpty())
            m_input.reset();
    }

    AddOnRun finish(double limitSeconds)
    {
        // NaN and negative limits mean no time at all; a huge one is cut to what a clock holds.
        const double seconds = limitSeconds > 0 ? std::min(limitSeconds, 1e9) : 0.0;
        const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                 std::chrono::duration<double>(seconds));
        const auto exited = [this] { return m_exited; };
        bool stopped = false;
        if (!serveUntil(deadline, exited)) {
            stopped = true;
            ::killpg(m_pid, SIGTERM);
            if (!serveUntil(Clock::now() + terminateGrace, exited)) {
                ::killpg(m_pid, SIGKILL);
                serveUntil(std::nullopt, exited);
            }
            // Whatever in the group outlived SIGTERM goes too: the limit holds for all of it.
            ::killpg(m_pid, SIGKILL);
        }
        // A descendant that keeps a pipe open cannot hold the run longer than this.
        serveUntil(Clock::now() + readerGrace,
                   [this] { return !m_output.isValid() && !m_errors.isValid(); });

        if (m_tooMuch)
            return AddOnRun::tooMuchOutput();
        if (stopped)
            return AddOnRun::timedOut(limitSeconds);
        return AddOnRun::finished(m_status, std::move(m_out), std::move(m_err));
    }

private:
    // Serves the pipes and watches the child until `done` holds or the time runs out; no time
    // means no limit. Returns whether `done` holds.
    template <typename Done>
    bool serveUntil(std::optional<Clock::time_point> until, const Done& done)
    {
        while (!done()) {
            pollfd fds[4];
            nfds_t count = 0;
            auto watch = [&](const FileDescriptor& fd, short events) {
                if (fd.isValid())
                    fds[count++] = pollfd{fd.get(), events, 0};
            };
            watch(m_input, POLLOUT);
            watch(m_output, POLLIN);
            watch(m_errors, POLLIN);
            if (!m_exited)
                watch(m_exitWatch, POLLIN);

            std::optional<Clock::duration> wait;
            if (until) {
                const auto now = Clock::now();
                if (now >= *until)
                    return false;
                wait = *until - now;
            }
            if (!m_exited && !m_exitWatch.isValid())
                wait = std::min<Clock::duration>(wait.value_or(1ms), 1ms);
            timespec timeout{};
            if (wait) {
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(*wait);
                timeout.tv_sec = static_cast<time_t>(ns.count() / 1'000'000'000);
                timeout.tv_nsec = static_cast<long>(ns.count() % 1'000'000'000);
            }
            const int ready = ::ppoll(fds, count, wait ? &timeout : nullptr, nullptr);
            if (ready < 0 && errno != EINTR) {
                // Not expected with valid descriptors; keep the deadlines without spinning.
                const timespec pause{0, 1'000'000};
                ::nanosleep(&pause, nullptr);
            }
            for (nfds_t i = 0; ready > 0 && i < count; ++i) {
                if (fds[i].revents == 0)
                    continue;
                if (fds[i].fd == m_input.get())
                    writeInput();
                else if (fds[i].fd == m_output.get())
                    readOutput();
                else if (fds[i].fd == m_errors.get())
                    readErrors();
                else if (fds[i].fd == m_exitWatch.get())
                    reap();
            }
            // Without a pidfd the exit is looked for on every wake-up.
            if (!m_exited && !m_exitWatch.isValid())
                reap();
        }
        return true;
    }

    void writeInput()
    {
        const ssize_t n = ::write(m_input.get(), m_bytes.constData() + m_written,
                                  static_cast<size_t>(m_bytes.size() - m_written));
        if (n > 0) {
            m_written += n;
            if (m_written == m_bytes.size())
                m_input.reset(); // end of file for the add-on
            return;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n < 0 && errno == EPIPE)
            m_pipeSignal.clearRaised();
        m_input.reset();
    }

    void readOutput()
    {
        const qsizetype had = m_out.size();
        m_out.resize(had + blockSize);
        const ssize_t n = ::read(m_output.get(), m_out.data() + had, blockSize);
        m_out.resize(had + std::max<ssize_t>(n, 0));
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n <= 0) {
            m_output.reset();
            return;
        }
        if (m_out.size() > m_limit) {
            m_tooMuch = true;
            ::killpg(m_pid, SIGKILL);
            m_output.reset();
        }
    }

    void readErrors()
    {
        char block[blockSize];
        const ssize_t n = ::read(m_errors.get(), block, sizeof block);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n <= 0) {
            m_errors.reset();
            return;
        }
        // Keep reading past the kept part, so that the add-on never blocks on a full pipe.
        m_err.append(block, std::min<qsizetype>(n, errorsKept - m_err.size()));
    }

    void reap()
    {
        int status = 0;
        pid_t result;
        do {
            result = ::waitpid(m_pid, &status, WNOHANG);
        } while (result < 0 && errno == EINTR);
        if (result == 0)
            return;
        m_exited = true;
        m_exitWatch.reset();
        if (result < 0)
            m_status = 0; // the child is gone without a status to tell
        else if (WIFEXITED(status))
            m_status = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            m_status = 128 + WTERMSIG(status);
    }

    pid_t m_pid;
    FileDescriptor m_input;
    FileDescriptor m_output;
    FileDescriptor m_errors;
    FileDescriptor m_exitWatch;
    QByteArray m_bytes;
    qsizetype m_written = 0;
    qsizetype m_limit;
    QByteArray m_out;
    QByteArray m_err;
    bool m_tooMuch = false;
    bool m_exited = false;
    int m_status = 0;
    PipeSignalBlock m_pipeSignal;
};

} // namespace

AddOnRun AddOnRunner::run(const QString& url, QStringView input, double limitSeconds,
                          qsizetype limitBytes)
{
    Result<Pipe, int> in = makePipe();
    if (!in)
        return AddOnRun::couldNotStart(systemText(in.error()));
    Result<Pipe, int> out = makePipe();
    if (!out)
        return AddOnRun::couldNotStart(systemText(out.error()));
    Result<Pipe, int> err = makePipe();
    if (!err)
        return AddOnRun::couldNotStart(systemText(err.error()));

    const Result<pid_t, QString> pid =
        spawn(url, in->read.get(), out->write.get(), err->write.get());
    if (!pid)
        return AddOnRun::couldNotStart(pid.error());
    in->read.reset();
    out->write.reset();
    err->write.reset();

    Run run(*pid, std::move(in->write), std::move(out->read), std::move(err->read), input.toUtf8(),
            limitBytes);
    return run.finish(limitSeconds);
}
