#pragma once

#include "QuendrilCore/SearchIndex.h"
#include "QuendrilCore/SheetStore.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Reads every sheet of a notes folder once, in the background, into the search index, then
// follows the folder with a FolderWatcher so that changes made by any program reach the index and
// the main thread. Notes the sheets found plain while encryption is on and encrypts them later on
// request. Made, started and destroyed on the main thread; every callback runs there, and none
// runs once the loader is destroyed. A load still running for a destroyed loader finishes, but
// writes only to the index.
class NotebookLoader {
public:
    using FileChanged = std::function<void(const QString& url)>;
    using Loaded = std::function<void(qsizetype count)>;
    using Encrypted = std::function<void(int count)>;

    // Touches nothing: `loading` is true and the plain list empty until `start`'s load ends.
    NotebookLoader(std::shared_ptr<SheetStore> store, std::shared_ptr<SearchIndex> index);
    // Stops the watcher.
    ~NotebookLoader();
    NotebookLoader(const NotebookLoader&) = delete;
    NotebookLoader& operator=(const NotebookLoader&) = delete;

    // Starts watching the folder and loads it in the background; `onFileChanged(url)` follows
    // every changed sheet after the index has taken it, `onLoaded(count)` reports the number of
    // indexed sheets when the load is done.
    void start(FileChanged onFileChanged, Loaded onLoaded);

    // Encrypts, in the background, the plain sheets the load found, except those whose cleaned
    // paths are in `skipping` (sheets open in tabs); `done(count)` gets the number encrypted.
    // The plain list is emptied, so a second call encrypts nothing.
    void encryptPlainSheets(const QSet<QString>& skipping, Encrypted done);

    // True until the background load has finished.
    [[nodiscard]] bool loading() const;
    // The names of the sheets the load found plain while encryption is on.
    [[nodiscard]] QStringList plainNames() const;
    // Stops following the folder; the load, if running, goes on.
    void stopWatching();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    // Held only here and checked on the main thread, where the loader lives and dies: a queued
    // callback finds it expired once the loader is gone.
    std::shared_ptr<int> m_alive;
};
