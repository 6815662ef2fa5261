#include "QuendrilCore/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace FileSystem {

namespace {

// The attribute text for a time, and back; parsing is strict.
QByteArray formatTime(const timespec& time)
{
    return QByteArray::number(qint64(time.tv_sec)) + '.' +
           QByteArray::number(qint64(time.tv_nsec)).rightJustified(9, '0');
}

std::optional<timespec> parseTime(QByteArrayView text)
{
    const qsizetype dot = text.indexOf('.');
    const QByteArrayView seconds = dot < 0 ? text : text.first(dot);
    const QByteArrayView fraction = dot < 0 ? QByteArrayView() : text.sliced(dot + 1);
    auto allDigits = [](QByteArrayView part) {
        for (const char c : part) {
            if (c < '0' || c > '9')
                return false;
        }
        return true;
    };
    const QByteArrayView unsignedSeconds = seconds.startsWith('-') ? seconds.sliced(1) : seconds;
    if (unsignedSeconds.isEmpty() || unsignedSeconds.size() > 18 || !allDigits(unsignedSeconds))
        return std::nullopt;
    if (dot >= 0 && (fraction.isEmpty() || fraction.size() > 9 || !allDigits(fraction)))
        return std::nullopt;
    timespec time{};
    time.tv_sec = time_t(seconds.toLongLong());
    time.tv_nsec = fraction.isEmpty()
                       ? 0
                       : long(QByteArray(fraction.toByteArray().leftJustified(9, '0')).toLong());
    return time;
}

} // namespace

std::optional<timespec> creationTime(int folder, const char* name)
{
    char value[64];
    // getxattr has no descriptor-relative form, so a relative name needs its folder's path.
    QByteArray path(name);
    if (folder != AT_FDCWD && !path.startsWith('/'))
        path = QByteArray("/proc/self/fd/" + QByteArray::number(folder) + '/' + path);
    const ssize_t length = ::getxattr(path.constData(), createdAttribute, value, sizeof value);
    if (length > 0) {
        if (const std::optional<timespec> parsed = parseTime(QByteArrayView(value, length)))
            return parsed;
    }
    struct statx info {};
    if (::statx(folder, name, AT_STATX_SYNC_AS_STAT, STATX_BTIME, &info) == 0 &&
        (info.stx_mask & STATX_BTIME)) {
        timespec time{};
        time.tv_sec = time_t(info.stx_btime.tv_sec);
        time.tv_nsec = long(info.stx_btime.tv_nsec);
        return time;
    }
    return std::nullopt;
}

bool setCreationTime(int file, const timespec& time)
{
    const QByteArray value = formatTime(time);
    return ::fsetxattr(file, createdAttribute, value.constData(), size_t(value.size()), 0) == 0;
}

namespace {

Result<QByteArray, int> readFrom(int file, qsizetype limit)
{
    struct stat info {};
    qsizetype expected = 0;
    if (::fstat(file, &info) == 0 && info.st_size > 0)
        expected = qsizetype(info.st_size);
    QByteArray bytes;
    bytes.resize(std::min(limit, expected > 0 ? expected + 1 : qsizetype(4096)));
    qsizetype filled = 0;
    while (filled < limit) {
        if (filled == bytes.size())
            bytes.resize(std::min(limit, bytes.size() * 2));
        const ssize_t got = ::read(file, bytes.data() + filled, size_t(bytes.size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return unexpected(errno);
        }
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

Result<QByteArray, int> readPath(const QByteArray& path, qsizetype limit)
{
    const int file = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (file < 0)
        return unexpected(errno);
    Result<QByteArray, int> bytes = readFrom(file, limit);
    ::close(file);
    return bytes;
}

} // namespace

Result<QByteArray, int> readFile(const QByteArray& path)
{
    return readPath(path, std::numeric_limits<qsizetype>::max() / 2);
}

Result<QByteArray, int> readPrefix(const QByteArray& path, qsizetype count)
{
    return readPath(path, count);
}

Result<void, int> makePath(const QByteArray& path)
{
    struct stat info {};
    if (::stat(path.constData(), &info) == 0)
        return S_ISDIR(info.st_mode) ? Result<void, int>() : Result<void, int>(unexpected(ENOTDIR));
    qsizetype from = 1;
    while (from <= path.size()) {
        qsizetype slash = path.indexOf('/', from);
        if (slash < 0)
            slash = path.size();
        const QByteArray part = path.left(slash);
        from = slash + 1;
        if (part.isEmpty() || part.endsWith('/'))
            continue;
        if (::mkdir(part.constData(), 0777) == 0)
            continue;
        const int error = errno;
        if (error != EEXIST)
            return unexpected(error);
        if (::stat(part.constData(), &info) != 0)
            return unexpected(errno);
        if (!S_ISDIR(info.st_mode))
            return unexpected(ENOTDIR);
    }
    return {};
}

SplitPath split(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return {QByteArray("."), path};
    return {slash == 0 ? QByteArray("/") : path.left(slash), path.mid(slash + 1)};
}

int writeAll(int fd, QByteArrayView bytes, ssize_t (*write)(int fd, const void* data, size_t size))
{
    const char* data = bytes.data();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            errno = error;
            return error;
        }
        data += written;
        left -= size_t(written);
    }
    return 0;
}

} // namespace FileSystem
