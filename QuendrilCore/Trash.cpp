#include "QuendrilCore/Trash.h"

#include "QuendrilCore/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

struct Place {
    QByteArray trash;  // the folder holding files/ and info/
    QByteArray topdir; // empty for the home Trash, whose Path= is absolute
};

bool makePrivateFolder(const QByteArray& path)
{
    if (::mkdir(path.constData(), 0700) == 0)
        return true;
    struct stat info {};
    return errno == EEXIST && ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QByteArray dataHome()
{
    const QByteArray xdg = qgetenv("XDG_DATA_HOME");
    if (xdg.startsWith('/'))
        return xdg;
    return QByteArray(qgetenv("HOME") + "/.local/share");
}

// The mount point of the volume holding `path`: the last parent on the same device.
QByteArray topDirectory(const QByteArray& path, dev_t device)
{
    QByteArray current = FileSystem::split(path).folder;
    while (current != "/") {
        const QByteArray parent = FileSystem::split(current).folder;
        struct stat info {};
        if (::stat(parent.constData(), &info) != 0 || info.st_dev != device)
            break;
        current = parent;
    }
    return current;
}

Result<Place, int> placeFor(const QByteArray& path, dev_t device)
{
    const QByteArray home = dataHome();
    if (const Result<void, int> made = FileSystem::makePath(home); !made)
        return unexpected(made.error());
    struct stat homeInfo {};
    if (::stat(home.constData(), &homeInfo) == 0 && homeInfo.st_dev == device) {
        const QByteArray trash = home + "/Trash";
        if (!makePrivateFolder(trash))
            return unexpected(errno);
        return Place{trash, {}};
    }
    const QByteArray top = topDirectory(path, device);
    const QByteArray uid = QByteArray::number(qulonglong(::getuid()));
    const QByteArray prefix = top == "/" ? QByteArray() : top;
    struct stat shared {};
    const QByteArray admin = prefix + "/.Trash";
    if (::lstat(admin.constData(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX)) {
        const QByteArray mine = admin + '/' + uid;
        if (makePrivateFolder(mine))
            return Place{mine, top};
    }
    const QByteArray own = prefix + "/.Trash-" + uid;
    if (!makePrivateFolder(own))
        return unexpected(errno);
    struct stat ownInfo {};
    if (::lstat(own.constData(), &ownInfo) != 0 || ownInfo.st_uid != ::getuid())
        return unexpected(EACCES);
    return Place{own, top};
}

QByteArray candidateName(const QByteArray& name, int counter)
{
    if (counter == 1)
        return name;
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray number = '.' + QByteArray::number(counter);
    if (dot <= 0)
        return name + number;
    return name.left(dot) + number + name.mid(dot);
}

// Never replaces: where the file system refuses the flag, a hard link fails with EEXIST too.
int renameExclusive(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    ::unlink(from.constData());
    return 0;
}

} // namespace

namespace Trash {

Result<QString, int> moveToTrash(const QString& path)
{
    const QByteArray source = QFile::encodeName(QDir::cleanPath(QDir(path).absolutePath()));
    struct stat info {};
    if (::lstat(source.constData(), &info) != 0)
        return unexpected(errno);
    const Result<Place, int> place = placeFor(source, info.st_dev);
    if (!place)
        return unexpected(place.error());
    const QByteArray files = place->trash + "/files";
    const QByteArray infos = place->trash + "/info";
    if (!makePrivateFolder(files) || !makePrivateFolder(infos))
        return unexpected(errno);

    QByteArray recorded = source;
    if (!place->topdir.isEmpty() && place->topdir != "/" &&
        source.startsWith(QByteArray(place->topdir + '/')))
        recorded = source.mid(place->topdir.size() + 1);
    const QByteArray content =
        "[Trash Info]\nPath=" + QUrl::toPercentEncoding(QFile::decodeName(recorded), "/") +
        "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(u"yyyy-MM-ddTHH:mm:ss").toLatin1() + "\n";
    const QByteArray name = FileSystem::split(source).name;
    for (int counter = 1; counter < 100000; ++counter) {
        const QByteArray candidate = candidateName(name, counter);
        const QByteArray infoPath = infos + '/' + candidate + ".trashinfo";
        // The info file claims the name; only then does the file move.
        const int file =
            ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (file < 0) {
            if (errno == EEXIST)
                continue;
            return unexpected(errno);
        }
        const int writeError = FileSystem::writeAll(file, content);
        ::close(file);
        if (writeError != 0) {
            ::unlink(infoPath.constData());
            return unexpected(writeError);
        }
        const QByteArray target = files + '/' + candidate;
        const int error = renameExclusive(source, target);
        if (error == 0)
            return QFile::decodeName(target);
        ::unlink(infoPath.constData());
        if (error != EEXIST)
            return unexpected(error);
    }
    return unexpected(EEXIST);
}

} // namespace Trash
