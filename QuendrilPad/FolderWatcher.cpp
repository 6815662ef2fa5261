#include "QuendrilPad/FolderWatcher.h"

#include "QuendrilCore/FileDescriptor.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <atomic>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr uint32_t watchedEvents =
    IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ATTRIB | IN_ONLYDIR;

// The batch being gathered: each path once, in the order first seen.
class Batch {
public:
    void add(const QString& path)
    {
        if (!m_seen.contains(path)) {
            m_seen.insert(path);
            m_paths.append(path);
        }
    }
    bool isEmpty() const { return m_paths.isEmpty(); }
    QStringList take()
    {
        m_seen.clear();
        return std::exchange(m_paths, {});
    }

private:
    QStringList m_paths;
    QSet<QString> m_seen;
};

} // namespace

struct FolderWatcher::Shared {
    QString folder;
    std::chrono::milliseconds latency;
    Handler handler;
    FileDescriptor inotify;
    FileDescriptor wakeUp;
    std::atomic<bool> stopping{false};

    void run();
    bool readEvents(Batch& batch);
};

// Returns false when the watch is gone (the folder was deleted or the queue failed).
bool FolderWatcher::Shared::readEvents(Batch& batch)
{
    alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        const ssize_t length = ::read(inotify.get(), buffer, sizeof buffer);
        if (length < 0)
            return errno == EAGAIN || errno == EINTR;
        if (length == 0)
            return true;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_IGNORED)
                return false;
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: report everything that is there now, so nothing stays stale.
                const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
                for (const QString& name : names)
                    batch.add(folder + u'/' + name);
                continue;
            }
            if ((event->mask & IN_ISDIR) || event->len == 0)
                continue;
            batch.add(folder + u'/' + QFile::decodeName(event->name));
        }
    }
}

void FolderWatcher::Shared::run()
{
    ::pthread_setname_np(::pthread_self(), "qp.watch");
    Batch batch;
    auto deadline = std::chrono::steady_clock::now();
    bool watching = true;
    while (!stopping.load()) {
        int timeout = -1;
        if (!batch.isEmpty()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            timeout = int(std::max<std::chrono::milliseconds::rep>(0, left.count()));
        } else if (!watching) {
            break;
        }
        pollfd fds[2] = {{wakeUp.get(), POLLIN, 0}, {inotify.get(), POLLIN, 0}};
        const int ready = ::poll(fds, watching ? 2 : 1, timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (stopping.load() || (fds[0].revents & POLLIN))
            break;
        if (watching && (fds[1].revents & (POLLIN | POLLERR | POLLHUP))) {
            const bool wasEmpty = batch.isEmpty();
            watching = readEvents(batch);
            if (wasEmpty && !batch.isEmpty())
                deadline = std::chrono::steady_clock::now() + latency;
        }
        if (!batch.isEmpty() && std::chrono::steady_clock::now() >= deadline)
            handler(batch.take());
    }
}

std::unique_ptr<FolderWatcher>
FolderWatcher::create(const QString& folder, std::chrono::milliseconds latency, Handler handler)
{
    auto shared = std::make_shared<Shared>();
    shared->folder = folder;
    shared->latency = latency;
    shared->handler = std::move(handler);
    shared->inotify = FileDescriptor(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    shared->wakeUp = FileDescriptor(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!shared->inotify.isValid() || !shared->wakeUp.isValid())
        return nullptr;
    if (::inotify_add_watch(shared->inotify.get(), QFile::encodeName(folder).constData(),
                            watchedEvents) < 0)
        return nullptr;
    return std::unique_ptr<FolderWatcher>(new FolderWatcher(std::move(shared)));
}

const QString& FolderWatcher::folder() const
{
    return m_shared->folder;
}

FolderWatcher::FolderWatcher(std::shared_ptr<Shared> shared)
    : m_shared(std::move(shared))
{
    // The thread keeps its own reference, so a watcher stopped from inside its handler stays
    // valid until the handler returns.
    m_thread = std::thread([shared = m_shared] { shared->run(); });
}

FolderWatcher::~FolderWatcher()
{
    stop();
}

void FolderWatcher::stop()
{
    if (!m_thread.joinable())
        return;
    m_shared->stopping.store(true);
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_shared->wakeUp.get(), &one, sizeof one);
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    else
        m_thread.join();
}
