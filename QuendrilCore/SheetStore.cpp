#include "QuendrilCore/SheetStore.h"

#include "QuendrilCore/FileSystem.h"
#include "QuendrilCore/NaturalOrder.h"
#include "QuendrilCore/SheetName.h"
#include "QuendrilCore/SheetText.h"
#include "QuendrilCore/Trash.h"

#include <QDir>
#include <QFile>
#include <QUuid>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using Blocks = QList<QByteArray>;

int realOpenat(int folder, const char* path, int flags, mode_t mode)
{
    return ::openat(folder, path, flags, mode);
}

int realRenameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
{
    return ::renameat2(fromFolder, from, toFolder, to, flags);
}

const SheetStore::SystemCalls kernel{realOpenat, ::write,       ::fdatasync, ::fsync,   ::close,
                                     ::renameat, realRenameat2, ::linkat,    ::unlinkat};

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QDateTime fromTimespec(const timespec& time)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000,
                                          Qt::UTC);
}

const QDateTime& epoch()
{
    static const QDateTime zero = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
    return zero;
}

QByteArray temporaryName()
{
    return QByteArray(".quendril-" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) +
                      ".tmp");
}

bool isOurTemporaryName(QByteArrayView name)
{
    if (!name.startsWith(".quendril-") || !name.endsWith(".tmp") || name.size() != 10 + 36 + 4)
        return false;
    return !QUuid::fromString(QLatin1StringView(name.sliced(10, 36))).isNull();
}

// An open folder descriptor, closed on every path out.
class Folder {
public:
    Folder(const SheetStore::SystemCalls& system, const QByteArray& path)
        : m_system(system)
        , m_fd(system.openat(AT_FDCWD, path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0))
    {
    }
    ~Folder()
    {
        if (m_fd >= 0)
            m_system.close(m_fd);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int fd() const { return m_fd; }

private:
    const SheetStore::SystemCalls& m_system;
    int m_fd;
};

// Writes the blocks to a new temporary file in `folder`, copies the creation time of
// `createdFrom` (a name in the same folder) onto it, flushes it and closes it. On failure the
// file is gone and the errno of the failed step is returned.
Result<QByteArray, int> writeTemporary(const SheetStore::SystemCalls& system, int folder,
                                       const Blocks& blocks, const QByteArray& createdFrom)
{
    const QByteArray name = temporaryName();
    const int file = system.openat(folder, name.constData(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (file < 0)
        return unexpected(errno);
    auto fail = [&](int error) -> Result<QByteArray, int> {
        system.close(file);
        system.unlinkat(folder, name.constData(), 0);
        return unexpected(error);
    };
    for (const QByteArray& block : blocks) {
        if (const int error = FileSystem::writeAll(file, block, system.write))
            return fail(error);
    }
    // Before the flush, so that the attribute is as durable as the text.
    if (!createdFrom.isEmpty()) {
        if (const std::optional<timespec> created =
                FileSystem::creationTime(folder, createdFrom.constData()))
            FileSystem::setCreationTime(file, *created);
    }
    // A failed fdatasync is final even if fsync would succeed afterwards: Linux reports a lost
    // write-back once, so a later flush can succeed over data that never reached the disk. Only a
    // file system without fdatasync falls back to fsync alone.
    if (system.fdatasync(file) != 0 && errno != EINVAL && errno != ENOTSUP)
        return fail(errno);
    if (system.fsync(file) != 0)
        return fail(errno);
    if (system.close(file) != 0 && errno != EINTR) {
        const int error = errno;
        system.unlinkat(folder, name.constData(), 0);
        return unexpected(error);
    }
    return name;
}

} // namespace

// A scan's sheets, newest first. The names sit back to back in one buffer, so that a folder of
// tens of thousands of sheets costs no allocation per entry until the caller's own lists.
struct SheetStore::Listing {
    struct Item {
        qint64 msecs; // the sheet's date
        qint64 size;
        qsizetype nameOffset;
        qsizetype nameLength;
    };
    QByteArray names;
    std::vector<Item> items;

    QByteArrayView name(const Item& item) const
    {
        return QByteArrayView(names).sliced(item.nameOffset, item.nameLength);
    }
    static QDateTime date(const Item& item)
    {
        return QDateTime::fromMSecsSinceEpoch(item.msecs, Qt::UTC);
    }
};

const SheetStore::SystemCalls& SheetStore::realSystemCalls()
{
    return kernel;
}

SheetStore::SheetStore(QString folder, QTimeZone calendar, SheetEncryption encryption)
    : m_system(kernel)
    , m_folder(QDir::cleanPath(std::move(folder)))
    , m_calendar(std::move(calendar))
    , m_encryption(std::move(encryption))
{
}

namespace {

Result<Blocks, SheetStoreError> encode(const SheetEncryption& encryption, QStringView text)
{
    if (encryption.isLocked())
        return unexpected(SheetStoreError{SheetStoreError::Kind::locked});
    if (encryption.isOff())
        return Blocks{text.toUtf8()};
    Result<SheetCipher::Parts, SheetCipherError> parts = encryption.cipher()->encryptedParts(text);
    if (!parts)
        return unexpected(SheetStoreError::of(parts.error()));
    return Blocks{std::move(parts->prefix), std::move(parts->box)};
}

// Takes the bytes by value so that an encrypted file, once read, is opened where it lies.
Result<SheetText, SheetStoreError> decode(const SheetEncryption& encryption, QByteArray bytes)
{
    if (SheetCipher::isEncrypted(bytes)) {
        if (!encryption.isOn())
            return unexpected(SheetStoreError{SheetStoreError::Kind::locked});
        Result<QString, SheetCipherError> text = encryption.cipher()->decrypt(std::move(bytes));
        if (!text)
            return unexpected(SheetStoreError::of(text.error()));
        return SheetText{std::move(*text), true, true};
    }
    if (std::optional<QString> text = SheetText::strictUTF8(bytes))
        return SheetText{std::move(*text), true, false};
    return SheetText{QString::fromLatin1(bytes), false, false};
}

} // namespace

Result<void, SheetStoreError> SheetStore::ensureFolder() const
{
    const QByteArray path = encoded(m_folder);
    if (Result<void, int> made = FileSystem::makePath(path); !made)
        return unexpected(SheetStoreError::fileError(made.error()));

    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return {};
    const time_t dayAgo = ::time(nullptr) - 24 * 3600;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isOurTemporaryName(entry->d_name))
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_mtim.tv_sec < dayAgo)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
    return {};
}

namespace {

// Sheet names are nearly always ASCII, which widens without the general decoder's setup.
QString nameText(QByteArrayView name)
{
    for (const char c : name) {
        if (uchar(c) >= 0x80)
            return QString::fromUtf8(name);
    }
    return QString::fromLatin1(name);
}

} // namespace

bool SheetStore::isSheetName(QByteArrayView name)
{
    if (name.size() < 4 || name.front() == '.')
        return false;
    const QByteArrayView end = name.last(4);
    return end[0] == '.' && (end[1] | 0x20) == 't' && (end[2] | 0x20) == 'x' &&
           (end[3] | 0x20) == 't';
}

Result<SheetStore::Listing, SheetStoreError> SheetStore::scanEntries() const
{
    DIR* dir = ::opendir(encoded(m_folder).constData());
    if (!dir)
        return unexpected(SheetStoreError{SheetStoreError::Kind::fileReadNoSuchFile, errno});
    const int folder = ::dirfd(dir);
    Listing listing;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        const size_t length = std::strlen(name);
        if (entry->d_type == DT_DIR || !isSheetName(QByteArrayView(name, qsizetype(length))))
            continue;
        struct stat info {};
        if (::fstatat(folder, name, &info, 0) != 0 || !S_ISREG(info.st_mode))
            continue;
        const QByteArrayView bytes(name, qsizetype(length));
        qint64 msecs = 0;
        if (const std::optional<QDateTime> date = SheetName::date(bytes, m_calendar)) {
            msecs = date->toMSecsSinceEpoch();
        } else if (const std::optional<timespec> created = FileSystem::creationTime(folder, name)) {
            msecs = fromTimespec(*created).toMSecsSinceEpoch();
        }
        listing.items.push_back(
            Listing::Item{msecs, qint64(info.st_size), listing.names.size(), bytes.size()});
        listing.names.append(bytes);
    }
    ::closedir(dir);

    // Dates order almost everything; the collator only decides among sheets of the same second.
    std::vector<Listing::Item>& items = listing.items;
    std::sort(items.begin(), items.end(),
              [](const Listing::Item& a, const Listing::Item& b) { return a.msecs > b.msecs; });
    for (size_t from = 0; from < items.size();) {
        size_t to = from + 1;
        while (to < items.size() && items[to].msecs == items[from].msecs)
            ++to;
        if (to - from > 1) {
            std::vector<std::pair<QByteArray, Listing::Item>> keys;
            keys.reserve(to - from);
            for (size_t i = from; i < to; ++i)
                keys.emplace_back(NaturalOrder::sortKey(nameText(listing.name(items[i]))),
                                  items[i]);
            std::sort(keys.begin(), keys.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
            for (size_t i = from; i < to; ++i)
                items[i] = keys[i - from].second;
        }
        from = to;
    }
    return listing;
}

Result<QList<ScannedSheet>, SheetStoreError> SheetStore::scan() const
{
    const Result<Listing, SheetStoreError> listing = scanEntries();
    if (!listing)
        return unexpected(listing.error());
    QList<ScannedSheet> sheets;
    sheets.reserve(qsizetype(listing->items.size()));
    for (const Listing::Item& item : listing->items)
        sheets.append(ScannedSheet{nameText(listing->name(item)), item.size, Listing::date(item)});
    return sheets;
}

Result<QList<SheetFile>, SheetStoreError> SheetStore::listSheets() const
{
    const Result<Listing, SheetStoreError> listing = scanEntries();
    if (!listing)
        return unexpected(listing.error());
    QList<SheetFile> files;
    files.reserve(qsizetype(listing->items.size()));
    for (const Listing::Item& item : listing->items)
        files.append(SheetFile{
            QString(m_folder + u'/' + QFile::decodeName(listing->name(item).toByteArray())),
            Listing::date(item)});
    return files;
}

SheetFile SheetStore::sheetFile(const QString& url) const
{
    const QString name = url.mid(url.lastIndexOf(u'/') + 1);
    if (std::optional<QDateTime> date = SheetName::date(name, m_calendar))
        return SheetFile{url, std::move(*date)};
    const std::optional<timespec> created =
        FileSystem::creationTime(AT_FDCWD, encoded(url).constData());
    return SheetFile{url, created ? fromTimespec(*created) : epoch()};
}

std::optional<FileStamp> SheetStore::stamp(const QString& url) const
{
    struct stat info {};
    if (::stat(encoded(url).constData(), &info) != 0)
        return std::nullopt;
    return FileStamp{qint64(info.st_size), qint64(info.st_mtim.tv_sec),
                     qint64(info.st_mtim.tv_nsec)};
}

Result<SheetText, SheetStoreError> SheetStore::read(const QString& url) const
{
    Result<QByteArray, int> bytes = FileSystem::readFile(encoded(url));
    if (!bytes)
        return unexpected(SheetStoreError::fileError(bytes.error()));
    return decode(m_encryption, std::move(*bytes));
}

Result<void, SheetStoreError> SheetStore::write(QStringView text, const QString& url)
{
    if (text.isEmpty())
        return unexpected(SheetStoreError{SheetStoreError::Kind::emptyText});
    Result<Blocks, SheetStoreError> blocks = encode(m_encryption, text);
    if (!blocks)
        return unexpected(blocks.error());
    const FileSystem::SplitPath target = FileSystem::split(encoded(url));
    const Folder folder(m_system, target.folder);
    if (folder.fd() < 0)
        return unexpected(SheetStoreError::writeFailed(errno));
    Result<QByteArray, int> temporary = writeTemporary(m_system, folder.fd(), *blocks, target.name);
    if (!temporary)
        return unexpected(SheetStoreError::writeFailed(temporary.error()));
    int renamed;
    int error = 0;
    {
        const std::lock_guard lock(m_renameLock);
        renamed = m_system.renameat(folder.fd(), temporary->constData(), folder.fd(),
                                    target.name.constData());
        if (renamed != 0)
            error = errno;
    }
    if (renamed != 0) {
        m_system.unlinkat(folder.fd(), temporary->constData(), 0);
        return unexpected(SheetStoreError::writeFailed(error));
    }
    if (m_system.fsync(folder.fd()) != 0)
        return unexpected(SheetStoreError::writeFailed(errno));
    return {};
}

Result<SheetFile, SheetStoreError> SheetStore::create(QStringView text, const QDateTime& date)
{
    if (text.isEmpty())
        return unexpected(SheetStoreError{SheetStoreError::Kind::emptyText});
    Result<Blocks, SheetStoreError> blocks = encode(m_encryption, text);
    if (!blocks)
        return unexpected(blocks.error());
    const Folder folder(m_system, encoded(m_folder));
    if (folder.fd() < 0)
        return unexpected(SheetStoreError::writeFailed(errno));
    Result<QByteArray, int> temporary = writeTemporary(m_system, folder.fd(), *blocks, {});
    if (!temporary)
        return unexpected(SheetStoreError::writeFailed(temporary.error()));

    QSet<QString> taken;
    // Far more names than any second can have; only a file system that answers EEXIST to
    // everything gets here.
    for (int attempt = 0; attempt < 100000; ++attempt) {
        const QString name = SheetName::fileName(date, taken, m_calendar);
        const QByteArray target = encoded(name);
        int error = 0;
        {
            const std::lock_guard lock(m_renameLock);
            if (m_system.renameat2(folder.fd(), temporary->constData(), folder.fd(),
                                   target.constData(), RENAME_NOREPLACE) != 0) {
                error = errno;
                // Some file systems (FUSE, older NFS) refuse the flag; a hard link fails with
                // EEXIST just the same and never replaces anything.
                if (error == EINVAL || error == ENOSYS) {
                    error = m_system.linkat(folder.fd(), temporary->constData(), folder.fd(),
                                            target.constData(), 0) == 0
                                ? 0
                                : errno;
                    if (error == 0)
                        m_system.unlinkat(folder.fd(), temporary->constData(), 0);
                }
            }
        }
        if (error == EEXIST) {
            taken.insert(name);
            continue;
        }
        if (error != 0) {
            m_system.unlinkat(folder.fd(), temporary->constData(), 0);
            return unexpected(SheetStoreError::writeFailed(error));
        }
        // Not reported: the sheet exists; see the header.
        (void)m_system.fsync(folder.fd());
        const QString url = QString(m_folder + u'/' + name);
        return SheetFile{url, SheetName::date(name, m_calendar).value_or(date.toUTC())};
    }
    m_system.unlinkat(folder.fd(), temporary->constData(), 0);
    return unexpected(SheetStoreError::writeFailed(EEXIST));
}

Result<bool, SheetStoreError> SheetStore::encryptIfPlain(const QString& url,
                                                         const std::function<void()>& beforeRename)
{
    if (!m_encryption.isOn())
        return false;
    const std::optional<FileStamp> first = stamp(url);
    if (!first)
        return false;
    const QByteArray path = encoded(url);
    Result<QByteArray, int> bytes = FileSystem::readFile(path);
    if (!bytes)
        return unexpected(SheetStoreError::fileError(bytes.error()));
    if (bytes->isEmpty() || SheetCipher::isEncrypted(*bytes))
        return false;
    const SheetText plain = *decode(SheetEncryption::off(), *bytes);

    Result<Blocks, SheetStoreError> blocks = encode(m_encryption, plain.text);
    if (!blocks)
        return unexpected(blocks.error());
    const FileSystem::SplitPath target = FileSystem::split(path);
    const Folder folder(m_system, target.folder);
    if (folder.fd() < 0)
        return unexpected(SheetStoreError::writeFailed(errno));
    Result<QByteArray, int> temporary = writeTemporary(m_system, folder.fd(), *blocks, target.name);
    if (!temporary)
        return unexpected(SheetStoreError::writeFailed(temporary.error()));
    auto giveUp = [&] {
        m_system.unlinkat(folder.fd(), temporary->constData(), 0);
        return false;
    };

    Result<QByteArray, int> sealed =
        FileSystem::readFile(QByteArray(target.folder + '/' + *temporary));
    if (!sealed)
        return giveUp();
    Result<QString, SheetCipherError> check = m_encryption.cipher()->decrypt(std::move(*sealed));
    if (!check || *check != plain.text)
        return giveUp();

    if (beforeRename)
        beforeRename();
    bool renamed = false;
    {
        const std::lock_guard lock(m_renameLock);
        const std::optional<FileStamp> second = stamp(url);
        if (second && *second == *first)
            renamed = m_system.renameat(folder.fd(), temporary->constData(), folder.fd(),
                                        target.name.constData()) == 0;
    }
    if (!renamed)
        return giveUp();
    (void)m_system.fsync(folder.fd());
    return true;
}

bool SheetStore::isEncryptedFile(const QString& url) const
{
    const Result<QByteArray, int> prefix =
        FileSystem::readPrefix(encoded(url), SheetCipher::header.size());
    return prefix && SheetCipher::isEncrypted(*prefix);
}

bool SheetStore::hasEncryptedSheet() const
{
    const Result<Listing, SheetStoreError> listing = scanEntries();
    if (!listing)
        return false;
    const QByteArray folder = encoded(m_folder);
    for (const Listing::Item& item : listing->items) {
        const Result<QByteArray, int> prefix = FileSystem::readPrefix(
            QByteArray(folder + '/' + listing->name(item)), SheetCipher::header.size());
        if (prefix && SheetCipher::isEncrypted(*prefix))
            return true;
    }
    return false;
}

SheetStore::ExportResult SheetStore::exportPlain(const QString& destination) const
{
    const Result<Listing, SheetStoreError> listing = scanEntries();
    const Listing noSheets;
    const Listing& sheets = listing ? *listing : noSheets;
    QStringList names;
    for (const Listing::Item& item : sheets.items)
        names.append(QFile::decodeName(sheets.name(item).toByteArray()));
    std::sort(names.begin(), names.end());
    const ExportResult refused{0, names};

    const QString target = QDir::cleanPath(QDir(destination).absolutePath());
    if (target == QDir::cleanPath(QDir(m_folder).absolutePath()))
        return refused;
    const QByteArray targetPath = encoded(target);
    if (!FileSystem::makePath(targetPath))
        return refused;
    // The same folder under another path (a symbolic link, a bind mount) is refused too, or the
    // plain copies would replace the sheets.
    struct stat source {
    }, copy{};
    if (::stat(encoded(m_folder).constData(), &source) == 0 &&
        ::stat(targetPath.constData(), &copy) == 0 && source.st_dev == copy.st_dev &&
        source.st_ino == copy.st_ino)
        return refused;

    const Folder folder(m_system, targetPath);
    if (folder.fd() < 0)
        return refused;
    ExportResult result;
    const QByteArray sourceFolder = encoded(m_folder);
    for (const Listing::Item& item : sheets.items) {
        const QByteArray entryName = sheets.name(item).toByteArray();
        const QString name = QFile::decodeName(entryName);
        Result<QByteArray, int> bytes =
            FileSystem::readFile(QByteArray(sourceFolder + '/' + entryName));
        Result<SheetText, SheetStoreError> text =
            bytes ? decode(m_encryption, std::move(*bytes))
                  : Result<SheetText, SheetStoreError>(
                        unexpected(SheetStoreError::fileError(bytes.error())));
        bool written = false;
        if (text) {
            Result<QByteArray, int> temporary =
                writeTemporary(m_system, folder.fd(), {text->text.toUtf8()}, {});
            if (temporary) {
                written = m_system.renameat(folder.fd(), temporary->constData(), folder.fd(),
                                            entryName.constData()) == 0;
                if (!written)
                    m_system.unlinkat(folder.fd(), temporary->constData(), 0);
            }
        }
        if (written)
            ++result.written;
        else
            result.failed.append(name);
    }
    (void)m_system.fsync(folder.fd());
    std::sort(result.failed.begin(), result.failed.end());
    return result;
}

Result<std::optional<QString>, SheetStoreError> SheetStore::moveToTrash(const QString& url)
{
    Result<QString, int> trashed = Trash::moveToTrash(url);
    if (!trashed)
        return unexpected(SheetStoreError::fileError(trashed.error()));
    return std::optional<QString>(*trashed);
}

bool SheetStore::newestFirst(const SheetFile& a, const SheetFile& b)
{
    if (a.date != b.date)
        return a.date > b.date;
    const QStringView nameA = QStringView(a.url).mid(a.url.lastIndexOf(u'/') + 1);
    const QStringView nameB = QStringView(b.url).mid(b.url.lastIndexOf(u'/') + 1);
    return NaturalOrder::compare(nameA, nameB) > 0;
}
