#pragma once

#include "QuendrilCore/SearchQuery.h"
#include "QuendrilCore/SearchResult.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

// The folded text of every sheet, held in memory so that a search is a byte scan. Shared by
// reference between the loader, the main thread and the search panel: every operation holds
// one lock for its whole duration, so each sees a consistent index and a search blocks writers
// while it runs.
//
//   index.upsert(u"/notes/a.txt"_s, date, u"Café au lait"_s);
//   index.search(SearchQuery(u"CAFE"), 500);  // {SearchResult{"/notes/a.txt", date}}
class SearchIndex {
public:
    struct StorageSize {
        qsizetype used = 0;     // arena bytes that entries still use
        qsizetype capacity = 0; // bytes the arena has room for

        bool operator==(const StorageSize&) const = default;
    };

    SearchIndex();
    ~SearchIndex();
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // Number of indexed sheets.
    [[nodiscard]] qsizetype count() const;

    // Grows the arena's capacity to at least `bytes`; never shrinks it.
    void reserveCapacity(qsizetype bytes);

    // What the arena holds and has room for.
    [[nodiscard]] StorageSize storageSize() const;

    // Adds the sheet at `url` or replaces its entry; with the same date it keeps its place in the
    // order and, when the new text fits, its place in the arena.
    void upsert(const QString& url, const QDateTime& date, QStringView text);

    // Removes the sheet at `url`; an unknown URL changes nothing.
    void remove(const QString& url);

    // Sheets whose folded text contains every term, newest first, at most `limit`; an empty
    // query lists the first `limit` sheets.
    [[nodiscard]] QList<SearchResult> search(const SearchQuery& query, qsizetype limit) const;

private:
    struct Entry {
        qint64 date = 0; // milliseconds since 1970 UTC
        qsizetype offset = 0;
        qsizetype pathLength = 0;
        qsizetype textLength = 0;
        qsizetype capacity = 0;
    };

    // Large arenas are mapped in huge pages where the system allows, which spares a page fault
    // for every 4 KB of text on the first fill.
    struct ArenaRelease {
        size_t mappedSize; // zero for memory from the heap
        void operator()(char* bytes) const;
    };
    struct Arena {
        std::unique_ptr<char[], ArenaRelease> bytes;
        qsizetype length = 0;
        qsizetype capacity = 0;

        static std::unique_ptr<char[], ArenaRelease> allocate(qsizetype size);
        void reserve(qsizetype minimum);
        qsizetype append(const QByteArray& path, const QByteArray& text);
    };

    struct State {
        std::vector<Entry> sorted;
        Arena storage;
        qsizetype garbage = 0;
        std::unordered_map<size_t, qsizetype> pathHashes;
    };

    static size_t hashOf(const QByteArray& path);
    QStringView nameOf(const Entry& entry, QString& scratch) const;
    qsizetype find(const QByteArray& path, size_t hash, const qint64* date) const;
    qsizetype insertionPosition(qint64 date, const QString& name) const;
    void removeAt(qsizetype position, size_t hash);
    void compactIfNeeded();
    SearchResult resultAt(qsizetype position) const;

    mutable std::mutex m_lock;
    State m_state;
};
