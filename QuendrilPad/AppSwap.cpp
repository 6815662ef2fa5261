#include "QuendrilPad/AppSwap.h"

#include "QuendrilCore/AppFolder.h"
#include "QuendrilCore/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QString systemText(int code)
{
    return QString::fromLocal8Bit(::strerror(code));
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

bool copyFile(const QByteArray& from, const QByteArray& to, mode_t mode)
{
    const int in = ::open(from.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int code = errno;
        ::close(in);
        errno = code;
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(in, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            ok = count == 0;
            break;
        }
        for (ssize_t done = 0; done < count;) {
            const ssize_t step = ::write(out, buffer + done, size_t(count - done));
            if (step < 0 && errno == EINTR)
                continue;
            if (step < 0) {
                ok = false;
                break;
            }
            done += step;
        }
        if (!ok)
            break;
    }
    const int code = errno;
    ok = ok && ::fchmod(out, mode & 07777) == 0 && ::fsync(out) == 0;
    ::close(in);
    ::close(out);
    errno = ok ? 0 : (code ? code : EIO);
    return ok;
}

// Copies a tree keeping the modes, for moves across file systems; errno says why it stopped.
bool copyTree(const QByteArray& from, const QByteArray& to)
{
    struct stat info {};
    if (::lstat(from.constData(), &info) != 0)
        return false;
    if (S_ISREG(info.st_mode))
        return copyFile(from, to, info.st_mode);
    if (S_ISLNK(info.st_mode)) {
        char target[4096];
        const ssize_t length = ::readlink(from.constData(), target, sizeof target - 1);
        if (length < 0)
            return false;
        target[length] = '\0';
        return ::symlink(target, to.constData()) == 0;
    }
    if (!S_ISDIR(info.st_mode)) {
        errno = EINVAL;
        return false;
    }
    if (::mkdir(to.constData(), 0700) != 0)
        return false;
    DIR* directory = ::opendir(from.constData());
    if (!directory)
        return false;
    QList<QByteArray> names;
    while (const dirent* item = ::readdir(directory)) {
        const QByteArray name(item->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(directory);
    for (const QByteArray& name : names) {
        if (!copyTree(QByteArray(from + '/' + name), QByteArray(to + '/' + name)))
            return false;
    }
    return ::chmod(to.constData(), info.st_mode & 07777) == 0;
}

} // namespace

namespace AppSwap {

QString SwapError::text() const
{
    switch (kind) {
    case moveStaged:
        return QString(u"could not move the new app next to the old one: " + detail);
    case swap:
        return QString(u"could not swap the apps: " + detail);
    case recheck:
        return QStringLiteral("the new app was not whole or not valid after the move");
    }
    return QStringLiteral("could not swap the apps");
}

UpdatePlace place(const QString& appURL)
{
    struct statvfs volume {};
    const bool readOnly =
        ::statvfs(native(appURL).constData(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0;
    const QString parent = QFileInfo(appURL).absolutePath();
    const bool writable = ::access(native(parent).constData(), W_OK) == 0 &&
                          ::access(native(appURL).constData(), W_OK) == 0;
    return UpdatePlace::check(appURL, readOnly, writable);
}

std::optional<BundleInfo> bundleInfo(const QString& bundleURL)
{
    const std::optional<QVariant> plist =
        PropertyList::read(bundleURL + u'/' + QLatin1StringView(AppFolder::infoPlist));
    if (!plist || plist->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap info = plist->toMap();
    const auto text = [&info](const char* key) -> std::optional<QString> {
        const QVariant value = info.value(QLatin1StringView(key));
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        return value.toString();
    };
    const std::optional<QString> identifier = text("CFBundleIdentifier");
    const std::optional<QString> buildText = text("CFBundleVersion");
    const std::optional<qint64> build =
        buildText ? PropertyList::decimalInteger(*buildText) : std::nullopt;
    if (!identifier || !build)
        return std::nullopt;
    return BundleInfo{*identifier, *build,
                      text("CFBundleShortVersionString").value_or(QString::number(*build)),
                      text("LSMinimumSystemVersion")};
}

Result<void, CodeResources::Error> validateSignature(const QString& bundleURL,
                                                     QByteArrayView publicKey)
{
    return CodeResources::validate(bundleURL, publicKey);
}

Result<void, SwapError> install(const QString& stagedURL, const QString& runningURL,
                                const QString& previousURL, QByteArrayView publicKey)
{
    const QFileInfo running(runningURL);
    const QString next =
        running.absolutePath() + u"/." + running.completeBaseName() + u".update.app";
    removeItem(next);

    if (auto moved = moveItem(stagedURL, next); !moved) {
        removeItem(next);
        return unexpected(SwapError{SwapError::moveStaged, moved.error()});
    }

    const std::optional<BundleInfo> nextInfo = bundleInfo(next);
    const std::optional<BundleInfo> runningInfo = bundleInfo(runningURL);
    if (!nextInfo || !runningInfo || nextInfo->bundleID != runningInfo->bundleID ||
        !validateSignature(next, publicKey)) {
        removeItem(next);
        return unexpected(SwapError{SwapError::recheck, {}});
    }

    // One rename exchanges the two folders, so no moment exists without an application there.
    if (::renameat2(AT_FDCWD, native(next).constData(), AT_FDCWD, native(runningURL).constData(),
                    RENAME_EXCHANGE) != 0) {
        const QString text = systemText(errno);
        removeItem(next);
        return unexpected(SwapError{SwapError::swap, text});
    }

    // `next` now holds the old folder; keeping it is a courtesy, not part of the installation.
    removeItem(previousURL);
    QDir().mkpath(QFileInfo(previousURL).absolutePath());
    if (!moveItem(next, previousURL))
        removeItem(next);
    return {};
}

QStringList relaunchArguments(qint64 pid, const QString& appURL)
{
    const QString script =
        QString(u"while kill -0 \"$0\" 2>/dev/null; do sleep 0.2; done; exec \"$1/" +
                QLatin1StringView(AppFolder::executable) + u'"');
    return {QStringLiteral("-c"), script, QString::number(pid), appURL};
}

void relaunchAfterExit(const QString& appURL)
{
    QProcess::startDetached(QStringLiteral("/bin/sh"),
                            relaunchArguments(QCoreApplication::applicationPid(), appURL));
}

Result<void, QString> moveItem(const QString& from, const QString& to)
{
    const QByteArray source = native(from);
    const QByteArray target = native(to);
    int result =
        ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    if (result != 0 && errno == EINVAL)
        result = ::rename(source.constData(), target.constData());
    if (result == 0)
        return {};
    if (errno != EXDEV)
        return unexpected(systemText(errno));
    if (!copyTree(source, target)) {
        const QString text = systemText(errno);
        removeItem(to);
        return unexpected(text);
    }
    removeItem(from);
    return {};
}

void removeItem(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isDir())) {
        QFile::remove(path);
        return;
    }
    if (!info.exists())
        return;
    // Read-only folders inside an unpacked update would otherwise keep their contents.
    const QByteArray root = native(path);
    QList<QByteArray> pending{root};
    while (!pending.isEmpty()) {
        const QByteArray folder = pending.takeLast();
        struct stat folderInfo {};
        if (::lstat(folder.constData(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode))
            continue;
        ::chmod(folder.constData(), (folderInfo.st_mode & 07777) | S_IRWXU);
        if (DIR* directory = ::opendir(folder.constData())) {
            while (const dirent* item = ::readdir(directory)) {
                const QByteArray name(item->d_name);
                if (name != "." && name != "..")
                    pending.append(QByteArray(folder + '/' + name));
            }
            ::closedir(directory);
        }
    }
    QDir(path).removeRecursively();
}

} // namespace AppSwap
