#include "QuendrilCore/SearchIndex.h"

#include "QuendrilCore/ByteSearch.h"
#include "QuendrilCore/NaturalOrder.h"
#include "QuendrilCore/ParallelLoop.h"
#include "QuendrilCore/TextFolding.h"

#include <QHash>
#include <QHashSeed>
#include <QTimeZone>

#include <algorithm>
#include <cstring>
#include <limits>
#include <sys/mman.h>

namespace {

constexpr qsizetype compactionThreshold = 1'000'000;
constexpr qsizetype entriesPerChunk = 1'000;
constexpr int maxChunks = 32;

qint64 millisecondsOf(const QDateTime& date)
{
    return date.isValid() ? date.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

// Each chunk of a search files its matches here; the workers share nothing else they write.
class ChunkResults {
public:
    explicit ChunkResults(int count)
        : m_chunks(size_t(count))
    {
    }

    void set(int index, std::vector<qsizetype> list)
    {
        std::lock_guard guard(m_lock);
        m_chunks[size_t(index)] = std::move(list);
    }
    std::vector<std::vector<qsizetype>> take()
    {
        std::lock_guard guard(m_lock);
        return std::move(m_chunks);
    }

private:
    std::vector<std::vector<qsizetype>> m_chunks;
    std::mutex m_lock;
};

int chunkCount(qsizetype entries)
{
    if (entries < entriesPerChunk)
        return 1;
    if (entries < entriesPerChunk * maxChunks)
        return int(entries / entriesPerChunk);
    return maxChunks;
}

} // namespace

void SearchIndex::ArenaRelease::operator()(char* bytes) const
{
    if (mappedSize > 0)
        ::munmap(bytes, mappedSize);
    else
        delete[] bytes;
}

std::unique_ptr<char[], SearchIndex::ArenaRelease> SearchIndex::Arena::allocate(qsizetype size)
{
    constexpr size_t hugePage = 2 * 1024 * 1024;
    if (size_t(size) >= hugePage) {
        const size_t mapped = (size_t(size) + hugePage - 1) / hugePage * hugePage;
        void* bytes =
            ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (bytes != MAP_FAILED) {
            ::madvise(bytes, mapped, MADV_HUGEPAGE);
            return {static_cast<char*>(bytes), SearchIndex::ArenaRelease{mapped}};
        }
    }
    return {new char[size_t(size)], SearchIndex::ArenaRelease{0}};
}

void SearchIndex::Arena::reserve(qsizetype minimum)
{
    if (minimum <= capacity)
        return;
    std::unique_ptr<char[], ArenaRelease> grown = allocate(minimum);
    if (length > 0)
        std::memcpy(grown.get(), bytes.get(), size_t(length));
    bytes = std::move(grown);
    capacity = minimum;
}

qsizetype SearchIndex::Arena::append(const QByteArray& path, const QByteArray& text)
{
    const qsizetype needed = length + path.size() + text.size();
    if (needed > capacity)
        reserve(std::max(needed, capacity + capacity / 2));
    const qsizetype start = length;
    std::memcpy(bytes.get() + start, path.constData(), size_t(path.size()));
    std::memcpy(bytes.get() + start + path.size(), text.constData(), size_t(text.size()));
    length = needed;
    return start;
}

SearchIndex::SearchIndex() = default;
SearchIndex::~SearchIndex() = default;

size_t SearchIndex::hashOf(const QByteArray& path)
{
    return qHash(QByteArrayView(path), QHashSeed::globalSeed());
}

qsizetype SearchIndex::count() const
{
    std::lock_guard guard(m_lock);
    return qsizetype(m_state.sorted.size());
}

void SearchIndex::reserveCapacity(qsizetype bytes)
{
    std::lock_guard guard(m_lock);
    m_state.storage.reserve(bytes);
}

SearchIndex::StorageSize SearchIndex::storageSize() const
{
    std::lock_guard guard(m_lock);
    return {m_state.storage.length - m_state.garbage, m_state.storage.capacity};
}

QStringView SearchIndex::nameOf(const Entry& entry, QString& scratch) const
{
    const char* path = m_state.storage.bytes.get() + entry.offset;
    qsizetype start = entry.pathLength;
    while (start > 0 && path[start - 1] != '/')
        --start;
    scratch = QString::fromUtf8(path + start, entry.pathLength - start);
    return scratch;
}

qsizetype SearchIndex::find(const QByteArray& path, size_t hash, const qint64* date) const
{
    if (!m_state.pathHashes.contains(hash))
        return -1;
    const auto& sorted = m_state.sorted;
    const auto samePath = [&](const Entry& entry) {
        return entry.pathLength == path.size() &&
               std::memcmp(m_state.storage.bytes.get() + entry.offset, path.constData(),
                           size_t(path.size())) == 0;
    };
    if (date) {
        auto it = std::partition_point(sorted.begin(), sorted.end(),
                                       [&](const Entry& entry) { return entry.date > *date; });
        for (; it != sorted.end() && it->date == *date; ++it) {
            if (samePath(*it))
                return qsizetype(it - sorted.begin());
        }
    }
    for (auto it = sorted.begin(); it != sorted.end(); ++it) {
        if (samePath(*it))
            return qsizetype(it - sorted.begin());
    }
    return -1;
}

qsizetype SearchIndex::insertionPosition(qint64 date, const QString& name) const
{
    QString scratch;
    const auto goesBefore = [&](const Entry& entry) {
        if (entry.date != date)
            return entry.date > date;
        return NaturalOrder::compare(nameOf(entry, scratch), name) > 0;
    };
    const auto& sorted = m_state.sorted;
    return qsizetype(std::partition_point(sorted.begin(), sorted.end(), goesBefore) -
                     sorted.begin());
}

void SearchIndex::removeAt(qsizetype position, size_t hash)
{
    m_state.garbage += m_state.sorted[size_t(position)].capacity;
    m_state.sorted.erase(m_state.sorted.begin() + position);
    const auto counted = m_state.pathHashes.find(hash);
    if (counted != m_state.pathHashes.end()) {
        if (counted->second < 2)
            m_state.pathHashes.erase(counted);
        else
            --counted->second;
    }
}

void SearchIndex::compactIfNeeded()
{
    Arena& arena = m_state.storage;
    if (m_state.garbage <= compactionThreshold || arena.length / 4 >= m_state.garbage)
        return;
    Arena compacted;
    compacted.reserve(std::max<qsizetype>(1, arena.length - m_state.garbage));
    for (Entry& entry : m_state.sorted) {
        const qsizetype length = entry.pathLength + entry.textLength;
        std::memcpy(compacted.bytes.get() + compacted.length, arena.bytes.get() + entry.offset,
                    size_t(length));
        entry.offset = compacted.length;
        entry.capacity = length;
        compacted.length += length;
    }
    arena = std::move(compacted);
    m_state.garbage = 0;
}

void SearchIndex::upsert(const QString& url, const QDateTime& date, QStringView text)
{
    const QByteArray path = url.toUtf8();
    const QByteArray folded = TextFolding::foldToUtf8(text);
    const size_t hash = hashOf(path);
    const qint64 milliseconds = millisecondsOf(date);
    std::lock_guard guard(m_lock);

    const qsizetype found = find(path, hash, &milliseconds);
    if (found >= 0) {
        Entry& entry = m_state.sorted[size_t(found)];
        if (entry.date == milliseconds) {
            const qsizetype length = path.size() + folded.size();
            if (length <= entry.capacity) {
                char* at = m_state.storage.bytes.get() + entry.offset;
                std::memcpy(at, path.constData(), size_t(path.size()));
                std::memcpy(at + path.size(), folded.constData(), size_t(folded.size()));
            } else {
                m_state.garbage += entry.capacity;
                entry.offset = m_state.storage.append(path, folded);
                entry.capacity = length;
            }
            entry.pathLength = path.size();
            entry.textLength = folded.size();
            compactIfNeeded();
            return;
        }
        removeAt(found, hash);
    }

    Entry entry;
    entry.date = milliseconds;
    entry.offset = m_state.storage.append(path, folded);
    entry.pathLength = path.size();
    entry.textLength = folded.size();
    entry.capacity = entry.pathLength + entry.textLength;
    const qsizetype slash = url.lastIndexOf(u'/');
    const qsizetype position = insertionPosition(milliseconds, url.mid(slash + 1));
    m_state.sorted.insert(m_state.sorted.begin() + position, entry);
    ++m_state.pathHashes[hash];
    compactIfNeeded();
}

void SearchIndex::remove(const QString& url)
{
    const QByteArray path = url.toUtf8();
    const size_t hash = hashOf(path);
    std::lock_guard guard(m_lock);
    const qsizetype found = find(path, hash, nullptr);
    if (found < 0)
        return;
    removeAt(found, hash);
    compactIfNeeded();
}

SearchResult SearchIndex::resultAt(qsizetype position) const
{
    const Entry& entry = m_state.sorted[size_t(position)];
    SearchResult result;
    result.url = QString::fromUtf8(m_state.storage.bytes.get() + entry.offset, entry.pathLength);
    if (entry.date != std::numeric_limits<qint64>::min())
        result.date = QDateTime::fromMSecsSinceEpoch(entry.date, QTimeZone::utc());
    return result;
}

QList<SearchResult> SearchIndex::search(const SearchQuery& query, qsizetype limit) const
{
    std::vector<QByteArray> terms;
    for (const QString& term : query.terms) {
        if (!term.isEmpty())
            terms.push_back(term.toUtf8());
    }
    // The longest term first: it is the likeliest to rule a sheet out early.
    std::stable_sort(terms.begin(), terms.end(),
                     [](const QByteArray& a, const QByteArray& b) { return a.size() > b.size(); });

    std::lock_guard guard(m_lock);
    QList<SearchResult> results;
    if (limit <= 0)
        return results;
    const auto n = qsizetype(m_state.sorted.size());
    if (terms.empty()) {
        const qsizetype shown = std::min(n, limit);
        results.reserve(shown);
        for (qsizetype i = 0; i < shown; ++i)
            results.append(resultAt(i));
        return results;
    }

    const int chunks = chunkCount(n);
    ChunkResults found(chunks);
    const char* arena = m_state.storage.bytes.get();
    const auto& sorted = m_state.sorted;
    ParallelLoop::run(chunks, [&](int chunk) {
        const qsizetype begin = chunk * n / chunks;
        const qsizetype end = (chunk + 1) * n / chunks;
        std::vector<qsizetype> matches;
        for (qsizetype i = begin; i < end && qsizetype(matches.size()) < limit; ++i) {
            const Entry& entry = sorted[size_t(i)];
            const char* text = arena + entry.offset + entry.pathLength;
            const bool all = std::all_of(terms.begin(), terms.end(), [&](const QByteArray& term) {
                return ByteSearch::contains(text, size_t(entry.textLength), term.constData(),
                                            size_t(term.size()));
            });
            if (all)
                matches.push_back(i);
        }
        found.set(chunk, std::move(matches));
    });

    for (const std::vector<qsizetype>& chunk : found.take()) {
        for (const qsizetype position : chunk) {
            if (results.size() == limit)
                return results;
            results.append(resultAt(position));
        }
    }
    return results;
}
