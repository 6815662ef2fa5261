#include "QuendrilPad/UpdateArchive.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

#include <sys/stat.h>

namespace {

struct ReadDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};

// A relative path with no empty, "." or ".." pieces.
bool isPlainRelative(const QByteArray& path)
{
    if (path.isEmpty() || path.startsWith('/'))
        return false;
    QByteArray trimmed = path;
    while (trimmed.endsWith('/'))
        trimmed.chop(1);
    for (const QByteArray& piece : trimmed.split('/')) {
        if (piece.isEmpty() || piece == "." || piece == "..")
            return false;
    }
    return true;
}

// Whether a link at `path` to `target` stays inside the folder it is unpacked into.
bool staysInside(const QByteArray& path, const QByteArray& target)
{
    if (target.isEmpty() || target.startsWith('/'))
        return false;
    QList<QByteArray> place = path.split('/');
    place.removeLast();
    for (const QByteArray& piece : target.split('/')) {
        if (piece.isEmpty() || piece == ".")
            continue;
        if (piece == "..") {
            if (place.isEmpty())
                return false;
            place.removeLast();
        } else {
            place.append(piece);
        }
    }
    return true;
}

QString archiveError(archive* a, const char* what)
{
    const char* text = archive_error_string(a);
    return QString(QLatin1StringView(what) + u": " +
                   (text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error")));
}

} // namespace

namespace UpdateArchive {

Result<void, QString> extract(const QString& zipPath, const QString& destination,
                              const Limits& limits)
{
    std::unique_ptr<archive, ReadDeleter> reader(archive_read_new());
    std::unique_ptr<archive, WriteDeleter> writer(archive_write_disk_new());
    if (!reader || !writer)
        return unexpected(QStringLiteral("out of memory"));
    archive_read_support_format_zip(reader.get());
    // Entries are written under the destination's absolute path, so absolute names are refused
    // here before that prefix is added rather than by ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS.
    archive_write_disk_set_options(
        writer.get(), ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                          ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_NO_OVERWRITE);
    const QByteArray zip = QFile::encodeName(zipPath);
    if (archive_read_open_filename(reader.get(), zip.constData(), 64 * 1024) != ARCHIVE_OK)
        return unexpected(archiveError(reader.get(), "cannot open the archive"));

    // The canonical path has no links in it, which the link check of libarchive would refuse.
    const QString canonical = QDir(destination).canonicalPath();
    if (canonical.isEmpty())
        return unexpected(QStringLiteral("the destination folder is missing"));
    const QByteArray root = QFile::encodeName(canonical);
    qint64 entries = 0;
    qint64 written = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK)
            return unexpected(archiveError(reader.get(), "cannot read the archive"));
        if (++entries > limits.maxEntries)
            return unexpected(QStringLiteral("the archive holds too many entries"));

        const QByteArray path(archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "");
        if (!isPlainRelative(path))
            return unexpected(QString(u"unsafe path in the archive: " + QString::fromUtf8(path)));
        const mode_t type = archive_entry_filetype(entry);
        if (type == AE_IFLNK) {
            const char* target = archive_entry_symlink(entry);
            if (!target || !staysInside(path, QByteArray(target)))
                return unexpected(
                    QString(u"a link in the archive points outside: " + QString::fromUtf8(path)));
        } else if (type != AE_IFREG && type != AE_IFDIR) {
            return unexpected(QString(u"special file in the archive: " + QString::fromUtf8(path)));
        }
        if (const char* hardlink = archive_entry_hardlink(entry)) {
            if (!isPlainRelative(QByteArray(hardlink)))
                return unexpected(
                    QString(u"a link in the archive points outside: " + QString::fromUtf8(path)));
            archive_entry_set_hardlink(entry, QByteArray(root + '/' + hardlink).constData());
        }
        if (archive_entry_size_is_set(entry) &&
            archive_entry_size(entry) > limits.maxBytes - written)
            return unexpected(QStringLiteral("the archive unpacks to too much data"));

        // Set-ID bits never come out of an update.
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 0777);
        archive_entry_set_pathname(entry, QByteArray(root + '/' + path).constData());
        if (archive_write_header(writer.get(), entry) != ARCHIVE_OK)
            return unexpected(archiveError(writer.get(), "cannot unpack"));

        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        for (;;) {
            const int read = archive_read_data_block(reader.get(), &block, &size, &offset);
            if (read == ARCHIVE_EOF)
                break;
            if (read != ARCHIVE_OK)
                return unexpected(archiveError(reader.get(), "cannot read the archive"));
            written += qint64(size);
            if (written > limits.maxBytes)
                return unexpected(QStringLiteral("the archive unpacks to too much data"));
            if (archive_write_data_block(writer.get(), block, size, offset) != ARCHIVE_OK)
                return unexpected(archiveError(writer.get(), "cannot unpack"));
        }
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK)
            return unexpected(archiveError(writer.get(), "cannot unpack"));
    }
    // Folder permissions are applied at the close.
    if (archive_write_close(writer.get()) != ARCHIVE_OK)
        return unexpected(archiveError(writer.get(), "cannot unpack"));
    return {};
}

} // namespace UpdateArchive
