#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

// Follows one folder with inotify: every file directly inside it that is created, written and
// closed, renamed in or out, deleted or has its attributes changed is reported by its path.
// Events are gathered for `latency` after the first of a burst and delivered as one batch, each
// path once, on the watcher's own serial thread. Subfolders and what happens inside them are not
// reported.
//
//   auto watcher = FolderWatcher::create(folder, 150ms, [](const QStringList& paths) { ... });
//   if (!watcher) { /* outside changes are not followed */ }
class FolderWatcher {
public:
    using Handler = std::function<void(const QStringList& paths)>;

    // A running watcher, or null when the system refuses to watch the folder.
    [[nodiscard]] static std::unique_ptr<FolderWatcher>
    create(const QString& folder, std::chrono::milliseconds latency, Handler handler);

    // Stops the watcher; a batch being handled is finished first.
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // Stops delivering batches and releases the watch; safe to call more than once, and from the
    // handler itself.
    void stop();

    [[nodiscard]] const QString& folder() const;

private:
    struct Shared;
    explicit FolderWatcher(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};
