#include "QuendrilPad/NotebookLoader.h"

#include "QuendrilCore/NotebookIndexing.h"
#include "QuendrilPad/FolderWatcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThreadPool>

#include <malloc.h>
#include <mutex>

using namespace std::chrono_literals;

namespace {

constexpr auto watcherLatency = 150ms;

// Runs `work` on the main thread unless the loader is gone by then.
void onMainThread(const std::weak_ptr<int>& alive, std::function<void()> work)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [alive, work = std::move(work)] {
            if (alive.lock())
                work();
        },
        Qt::QueuedConnection);
}

} // namespace

struct NotebookLoader::Shared {
    std::shared_ptr<SheetStore> store;
    std::shared_ptr<SearchIndex> index;
    QString watchedFolder; // symbolic links resolved, cleaned

    mutable std::mutex loadingLock;
    bool loading = true;

    mutable std::mutex plainLock;
    QStringList plainNames;

    std::mutex watcherLock;
    std::unique_ptr<FolderWatcher> watcher;

    void replaceWatcher(std::unique_ptr<FolderWatcher> next)
    {
        std::unique_ptr<FolderWatcher> previous;
        {
            std::lock_guard guard(watcherLock);
            previous = std::exchange(watcher, std::move(next));
        }
        // Stopped outside the lock: stopping waits for a batch being handled.
        previous.reset();
    }

    QStringList sheetURLs(const QStringList& paths) const;
};

// Only sheets directly in the watched folder count: hidden files (our temporary files among
// them), other extensions and anything whose parent is another folder are passed over.
QStringList NotebookLoader::Shared::sheetURLs(const QStringList& paths) const
{
    // The watcher names each changed file once and all in one folder, so a batch (the whole
    // folder after an overflow) resolves its parent once.
    QStringList urls;
    QString lastParent;
    bool parentIsWatched = false;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString name = info.fileName();
        if (!SheetStore::isSheetName(QFile::encodeName(name)))
            continue;
        if (const QString parent = info.path(); parent != lastParent) {
            lastParent = parent;
            parentIsWatched =
                QDir::cleanPath(QFileInfo(parent).canonicalFilePath()) == watchedFolder;
        }
        if (parentIsWatched)
            urls.append(QString(store->folder() + u'/' + name));
    }
    return urls;
}

NotebookLoader::NotebookLoader(std::shared_ptr<SheetStore> store,
                               std::shared_ptr<SearchIndex> index)
    : m_shared(std::make_shared<Shared>())
    , m_alive(std::make_shared<int>(0))
{
    m_shared->store = std::move(store);
    m_shared->index = std::move(index);
}

NotebookLoader::~NotebookLoader()
{
    stopWatching();
}

void NotebookLoader::start(FileChanged onFileChanged, Loaded onLoaded)
{
    const std::shared_ptr<Shared> shared = m_shared;
    const std::weak_ptr<int> alive = m_alive;
    shared->watchedFolder = QDir::cleanPath(QFileInfo(shared->store->folder()).canonicalFilePath());

    auto watcher = FolderWatcher::create(
        shared->store->folder(), watcherLatency,
        [weakShared = std::weak_ptr<Shared>(shared), alive,
         onFileChanged](const QStringList& paths) {
            const std::shared_ptr<Shared> shared = weakShared.lock();
            if (!shared || alive.expired())
                return;
            for (const QString& url : shared->sheetURLs(paths)) {
                NotebookIndexing::refresh(*shared->store, *shared->index, url);
                if (onFileChanged)
                    onMainThread(alive, [onFileChanged, url] { onFileChanged(url); });
            }
        });
    shared->replaceWatcher(std::move(watcher));

    QThreadPool::globalInstance()->start([shared, alive, onLoaded] {
        NotebookIndexing::LoadOutcome outcome =
            NotebookIndexing::load(*shared->store, *shared->index);
        {
            std::lock_guard guard(shared->plainLock);
            shared->plainNames = std::move(outcome.plainNames);
        }
        {
            std::lock_guard guard(shared->loadingLock);
            shared->loading = false;
        }
        // Thousands of texts were read and dropped; give the pages back rather than keep them.
        ::malloc_trim(0);
        const qsizetype count = shared->index->count();
        if (onLoaded)
            onMainThread(alive, [onLoaded, count] { onLoaded(count); });
    });
}

void NotebookLoader::encryptPlainSheets(const QSet<QString>& skipping, Encrypted done)
{
    QStringList names;
    {
        std::lock_guard guard(m_shared->plainLock);
        names = std::exchange(m_shared->plainNames, {});
    }
    const std::shared_ptr<SheetStore> store = m_shared->store;
    const std::weak_ptr<int> alive = m_alive;
    QThreadPool::globalInstance()->start([store, names, skipping, alive, done] {
        int count = 0;
        for (const QString& name : names) {
            const QString url = QString(store->folder() + u'/' + name);
            if (skipping.contains(QDir::cleanPath(url)))
                continue;
            const Result<bool, SheetStoreError> encrypted = store->encryptIfPlain(url);
            if (encrypted && *encrypted)
                ++count;
        }
        if (done)
            onMainThread(alive, [done, count] { done(count); });
    });
}

bool NotebookLoader::loading() const
{
    std::lock_guard guard(m_shared->loadingLock);
    return m_shared->loading;
}

QStringList NotebookLoader::plainNames() const
{
    std::lock_guard guard(m_shared->plainLock);
    return m_shared->plainNames;
}

void NotebookLoader::stopWatching()
{
    m_shared->replaceWatcher(nullptr);
}
