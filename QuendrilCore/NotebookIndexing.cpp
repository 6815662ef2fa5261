#include "QuendrilCore/NotebookIndexing.h"

#include "QuendrilCore/IndexPolicy.h"

#include <QFile>

#include <sys/stat.h>

namespace NotebookIndexing {

LoadOutcome load(const SheetStore& store, SearchIndex& index)
{
    const QList<ScannedSheet> scanned = store.scan().value_or(QList<ScannedSheet>{});
    QList<ScannedSheet> indexable;
    QList<ScannedSheet> oversized;
    for (const ScannedSheet& sheet : scanned)
        (IndexPolicy::shouldIndex(sheet.size) ? indexable : oversized).append(sheet);

    const qint64 folderLength = store.folder().toUtf8().size();
    qint64 total = 0;
    for (const ScannedSheet& sheet : indexable)
        total += sheet.size + folderLength + 1 + sheet.name.toUtf8().size();
    index.reserveCapacity(total + total / 16 + 65'536);

    const bool encrypting = store.encryption().isOn();
    LoadOutcome outcome;
    for (const ScannedSheet& sheet : indexable) {
        // Each sheet's text is released before the next one is read.
        const QString url = QString(store.folder() + u'/' + sheet.name);
        const Result<SheetText, SheetStoreError> read = store.read(url);
        if (!read)
            continue;
        index.upsert(url, sheet.date, read->text);
        if (encrypting && !read->wasEncrypted && !read->text.isEmpty())
            outcome.plainNames.append(sheet.name);
    }
    if (encrypting) {
        for (const ScannedSheet& sheet : oversized) {
            if (!store.isEncryptedFile(QString(store.folder() + u'/' + sheet.name)))
                outcome.plainNames.append(sheet.name);
        }
    }
    return outcome;
}

void refresh(const SheetStore& store, SearchIndex& index, const QString& url,
             const std::optional<QDateTime>& date)
{
    const QString name = url.mid(url.lastIndexOf(u'/') + 1);
    const QString indexed = QString(store.folder() + u'/' + name);
    struct stat status {};
    if (::stat(QFile::encodeName(url).constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        !IndexPolicy::shouldIndex(qint64(status.st_size))) {
        index.remove(indexed);
        return;
    }
    const Result<SheetText, SheetStoreError> read = store.read(url);
    if (!read) {
        index.remove(indexed);
        return;
    }
    index.upsert(indexed, date ? *date : store.sheetFile(url).date, read->text);
}

} // namespace NotebookIndexing
