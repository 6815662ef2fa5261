#include "QuendrilCore/SheetDocument.h"

#include "QuendrilCore/SheetStore.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

constexpr qsizetype exactCompareLimit = 2'000'000;
constexpr qsizetype endsCompared = 4096;
// Composed characters longer than this are cut; real ones are far shorter.
constexpr qsizetype clusterWindow = 256;

bool looksEqual(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    if (a.size() <= exactCompareLimit)
        return a == b;
    const QStringView left(a), right(b);
    return left.first(endsCompared) == right.first(endsCompared) &&
           left.last(endsCompared) == right.last(endsCompared);
}

} // namespace

SheetDocument::SheetDocument(SheetFile file, QString text, std::optional<FileStamp> stamp)
    : m_file(std::move(file))
    , m_buffer(std::move(text))
    , m_savedText(m_buffer)
    , m_diskStamp(stamp)
{
}

QString SheetDocument::prefix(qsizetype count) const
{
    if (count >= m_buffer.size())
        return m_buffer;
    if (count <= 0)
        return {};
    // Only a window past the cut is examined, so a huge sheet costs no more than a small one.
    const QStringView window =
        QStringView(m_buffer).first(std::min(m_buffer.size(), count + clusterWindow));
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window.data(), int(window.size()));
    finder.setPosition(int(count));
    qsizetype end = count;
    if (!finder.isAtBoundary()) {
        const qsizetype next = finder.toNextBoundary();
        end = next < 0 ? window.size() : next;
    }
    return m_buffer.first(end);
}

bool SheetDocument::isDirty() const
{
    if (m_pendingClear)
        return true;
    if (!m_file)
        return !m_buffer.isEmpty();
    return !m_savedText || m_buffer != *m_savedText;
}

bool SheetDocument::isOwnSave(const std::optional<FileStamp>& stamp) const
{
    return stamp && m_diskStamp && *stamp == *m_diskStamp;
}

void SheetDocument::textChanged(const QDateTime& now)
{
    if (m_pendingClear && m_buffer == m_pendingClear->text)
        m_pendingClear.reset();
    if (m_file)
        return;
    if (m_buffer.isEmpty())
        m_startTime.reset();
    else if (!m_startTime)
        m_startTime = now;
}

EditEffect SheetDocument::apply(const TextEdit& edit, EditOrigin origin, const QDateTime& now,
                                SheetStore& store)
{
    const bool clears = origin == EditOrigin::userInput && m_buffer.size() > 1 &&
                        edit.range.lower == 0 && edit.range.upper == m_buffer.size();
    if (clears) {
        const QString oldText = m_buffer;
        if (const std::optional<SheetFile> safe = saveForClear(store)) {
            m_buffer = edit.replacement;
            detach(now);
            return EditEffect::startedNewSheet(*safe, oldText);
        }
        if (!m_pendingClear)
            m_pendingClear = PendingClear{m_file, m_startTime, oldText};
    }
    const qsizetype lower = std::clamp<qsizetype>(edit.range.lower, 0, m_buffer.size());
    const qsizetype upper = std::clamp<qsizetype>(edit.range.upper, lower, m_buffer.size());
    m_buffer.replace(lower, upper - lower, edit.replacement);
    textChanged(now);
    return EditEffect::normal();
}

std::optional<SheetFile> SheetDocument::saveForClear(SheetStore& store)
{
    if (m_pendingClear) {
        const std::optional<SaveEvent> event = saveIfNeeded(store);
        if (!event || event->kind != SaveEvent::Kind::finishedClear)
            return std::nullopt;
        // The pending clear's old text is safe; the text now in the buffer is the next old text.
    }
    if (m_file && !isDirty()) {
        if (m_diskStamp && store.stamp(m_file->url) != m_diskStamp) {
            // Another program changed or removed the file since we wrote it, so the text being
            // cleared is no longer on disk: it gets a file of its own, and theirs stays.
            auto copy = store.create(m_buffer, QDateTime::currentDateTimeUtc());
            if (!copy)
                return std::nullopt;
            return *copy;
        }
        return m_file;
    }
    saveIfNeeded(store);
    if (!m_lastSaveFailed && !isDirty())
        return m_file;
    return std::nullopt;
}

void SheetDocument::syncWith(const QString& text, const QDateTime& now)
{
    if (looksEqual(text, m_buffer))
        return;
    m_buffer = text;
    textChanged(now);
}

void SheetDocument::sync(const QString& text, const QDateTime& now)
{
    if (text == m_buffer)
        return;
    m_buffer = text;
    textChanged(now);
}

std::optional<SaveEvent> SheetDocument::finishPendingClear(SheetStore& store)
{
    const PendingClear clear = *m_pendingClear;
    std::optional<SheetFile> written;
    if (clear.file) {
        if (store.write(clear.text, clear.file->url))
            written = clear.file;
    } else if (auto created = store.create(
                   clear.text, clear.startTime.value_or(QDateTime::currentDateTimeUtc()))) {
        written = *created;
    }
    if (!written) {
        m_lastSaveFailed = true;
        return std::nullopt;
    }
    detach(QDateTime::currentDateTimeUtc());
    m_lastSaveFailed = false;
    return SaveEvent::finishedClear(*written, clear.text);
}

std::optional<SaveEvent> SheetDocument::saveIfNeeded(SheetStore& store)
{
    if (m_pendingClear)
        return finishPendingClear(store);

    if (!isDirty() || m_buffer.isEmpty()) {
        m_lastSaveFailed = false;
        return std::nullopt;
    }

    if (m_file && m_diskStamp) {
        const std::optional<FileStamp> current = store.stamp(m_file->url);
        if (current && *current != *m_diskStamp) {
            const auto disk = store.read(m_file->url);
            if (!disk) {
                // A file we can no longer see into is never written over: the text becomes a new
                // sheet instead.
                detach(QDateTime::currentDateTimeUtc()); // the buffer is not empty here
            } else {
                // Cleared first so that afterwards it says whether keeping both failed just now.
                m_lastSaveFailed = false;
                const ReloadOutcome outcome =
                    reload(disk->text, store, QDateTime::currentDateTimeUtc());
                if (outcome.kind == ReloadOutcome::Kind::unchanged) {
                    // Keeping both failed: this save ends as failed, so the retry tries to keep
                    // both again and the outside text is never replaced before a copy exists.
                    if (m_lastSaveFailed || !isDirty())
                        return std::nullopt;
                } else {
                    if (m_lastSaveFailed)
                        return std::nullopt;
                    return SaveEvent::wrote(*m_file);
                }
            }
        }
    }
    return writeText(store);
}

std::optional<SaveEvent> SheetDocument::writeText(SheetStore& store)
{
    const QString text = m_buffer;
    std::optional<SaveEvent> event;
    if (!m_file) {
        auto created = store.create(text, m_startTime.value_or(QDateTime::currentDateTimeUtc()));
        if (!created) {
            m_lastSaveFailed = true;
            return std::nullopt;
        }
        m_file = *created;
        m_diskStamp = store.stamp(m_file->url);
        m_startTime.reset();
        event = SaveEvent::created(*m_file);
    } else {
        if (!store.write(text, m_file->url)) {
            m_lastSaveFailed = true;
            return std::nullopt;
        }
        m_diskStamp = store.stamp(m_file->url);
        event = SaveEvent::wrote(*m_file);
    }
    m_savedText = text;
    m_diskCopy.reset();
    m_lastSaveFailed = false;
    return event;
}

ReloadOutcome SheetDocument::reload(const QString& diskText, SheetStore& store,
                                    const QDateTime& now)
{
    if (m_buffer == diskText) {
        m_savedText = diskText;
        if (m_file)
            m_diskStamp = store.stamp(m_file->url);
        return ReloadOutcome::unchanged();
    }
    if (m_savedText && *m_savedText == diskText)
        return ReloadOutcome::unchanged();

    if (isDirty() && !m_buffer.isEmpty()) {
        if (!m_file)
            return ReloadOutcome::unchanged();
        std::optional<SheetFile> copy;
        if (m_diskCopy && m_diskCopy->diskText == diskText) {
            copy = m_diskCopy->file;
        } else if (auto created = store.create(diskText, now)) {
            copy = *created;
            m_diskCopy = DiskCopy{diskText, *created};
        }
        if (!copy) {
            m_lastSaveFailed = true;
            return ReloadOutcome::unchanged();
        }
        if (!store.write(m_buffer, m_file->url)) {
            m_lastSaveFailed = true;
            return ReloadOutcome::unchanged();
        }
        m_diskStamp = store.stamp(m_file->url);
        m_savedText = m_buffer;
        m_diskCopy.reset();
        m_lastSaveFailed = false;
        return ReloadOutcome::keptBoth(*copy);
    }

    m_buffer = diskText;
    m_savedText = diskText;
    if (m_file)
        m_diskStamp = store.stamp(m_file->url);
    return ReloadOutcome::reloaded();
}

CloseAction SheetDocument::closeAction() const
{
    if (m_file && m_buffer.isEmpty() && !m_pendingClear)
        return CloseAction::moveToTrash(m_file->url);
    return CloseAction::none();
}

void SheetDocument::reattach(SheetFile file, QString text, std::optional<FileStamp> stamp)
{
    m_pendingClear.reset();
    m_diskStamp = stamp;
    m_file = std::move(file);
    m_buffer = std::move(text);
    m_savedText = m_buffer;
    m_startTime.reset();
    m_diskCopy.reset();
}

void SheetDocument::detach(const QDateTime& now)
{
    m_pendingClear.reset();
    m_diskStamp.reset();
    m_file.reset();
    m_savedText.reset();
    m_diskCopy.reset();
    m_startTime = m_buffer.isEmpty() ? std::nullopt : std::optional(now);
}
