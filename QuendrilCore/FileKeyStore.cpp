#include "QuendrilCore/FileKeyStore.h"

#include "QuendrilCore/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Unexpected<SheetKeyStoreError> failure(SheetKeyStoreError::Kind kind, int code)
{
    return unexpected(SheetKeyStoreError{kind, code});
}

// mkdir -p that keeps the errno of the step that failed.
int makePath(const QString& folder)
{
    const QByteArray path = QFile::encodeName(QDir::cleanPath(folder));
    for (qsizetype end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/')
            continue;
        const QByteArray prefix = path.left(end);
        if (::mkdir(prefix.constData(), 0755) != 0 && errno != EEXIST)
            return errno;
    }
    struct stat info;
    if (::stat(path.constData(), &info) != 0)
        return errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

} // namespace

Result<std::optional<QString>, SheetKeyStoreError> FileKeyStore::loadKey()
{
    const QByteArray path = QFile::encodeName(m_url);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::optional<QString>();
        return failure(SheetKeyStoreError::Kind::fileRead, errno);
    }
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            return failure(SheetKeyStoreError::Kind::fileRead, error);
        }
        if (count == 0)
            break;
        bytes.append(buffer, count);
    }
    ::close(fd);
    return std::optional<QString>(QString::fromUtf8(bytes).trimmed());
}

Result<void, SheetKeyStoreError> FileKeyStore::saveKey(const QString& text)
{
    const QString folder = QFileInfo(m_url).absolutePath();
    if (const int error = makePath(folder))
        return failure(SheetKeyStoreError::Kind::folderCreate, error);

    // A fresh file renamed into place, so a reader meets the old key or the new one, and the
    // new file's mode is ours rather than that of a file that was there before.
    const QByteArray temporary =
        QFile::encodeName(QString(folder + u"/.quendril-key-" +
                                  QUuid::createUuid().toString(QUuid::WithoutBraces) + u".tmp"));
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return failure(SheetKeyStoreError::Kind::fileWrite, errno);
    const bool written =
        ::fchmod(fd, 0600) == 0 && FileSystem::writeAll(fd, text.toUtf8()) == 0 && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 && written) {
        const int closeError = errno;
        ::unlink(temporary.constData());
        return failure(SheetKeyStoreError::Kind::fileWrite, closeError);
    }
    if (!written) {
        ::unlink(temporary.constData());
        return failure(SheetKeyStoreError::Kind::fileWrite, writeError);
    }
    if (::rename(temporary.constData(), QFile::encodeName(m_url).constData()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.constData());
        return failure(SheetKeyStoreError::Kind::fileWrite, renameError);
    }
    return {};
}
