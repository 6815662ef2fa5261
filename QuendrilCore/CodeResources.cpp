#include "QuendrilCore/CodeResources.h"

#include "QuendrilCore/FileDescriptor.h"
#include "QuendrilCore/Crypto.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using CodeResources::Error;

const QByteArrayView header = "QuendrilCodeResources 1\n";
const QByteArrayView signatureMark = "signature ";
constexpr qsizetype maxManifestSize = 64 * 1024 * 1024;
const QByteArrayView manifestPath = CodeResources::relativePath;
const QByteArrayView signatureFolder = "Contents/_CodeSignature";

struct Entry {
    bool isFolder = false;
    unsigned mode = 0;
    qint64 size = 0;
    QByteArray sha256; // lower-case hex, files only
    bool operator==(const Entry&) const = default;
};
using Listing = std::map<QByteArray, Entry>;

Error error(Error::Kind kind, const QByteArray& path = {}, int code = 0)
{
    return Error{kind, QString::fromUtf8(path), code};
}

Result<QByteArray, Error> hashFile(int folder, const char* name, const QByteArray& path)
{
    const FileDescriptor file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (file.get() < 0)
        return unexpected(error(Error::unreadable, path, errno));
    Crypto::Sha256 digest;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return unexpected(error(Error::unreadable, path, errno));
        if (count == 0)
            break;
        digest.update(QByteArrayView(buffer, count));
    }
    return digest.finalize().toHex();
}

// Lists everything under `folder` without following links; with `hash`, files get their digest.
Result<void, Error> scan(int folder, const QByteArray& prefix, bool hash, Listing& listing)
{
    const int listFd = ::dup(folder);
    if (listFd < 0)
        return unexpected(error(Error::unreadable, prefix, errno));
    DIR* directory = ::fdopendir(listFd);
    if (!directory) {
        const int code = errno;
        ::close(listFd);
        return unexpected(error(Error::unreadable, prefix, code));
    }
    std::vector<QByteArray> names;
    errno = 0;
    while (const dirent* item = ::readdir(directory)) {
        const QByteArray name(item->d_name);
        if (name != "." && name != "..")
            names.push_back(name);
    }
    const int readError = errno;
    ::closedir(directory);
    if (readError != 0)
        return unexpected(error(Error::unreadable, prefix, readError));

    for (const QByteArray& name : names) {
        const QByteArray path = prefix.isEmpty() ? name : QByteArray(prefix + '/' + name);
        if (path == manifestPath)
            continue;
        struct stat info {};
        if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            return unexpected(error(Error::unreadable, path, errno));
        if (name.contains('\n') || (info.st_mode & (S_ISUID | S_ISGID)) != 0)
            return unexpected(error(Error::unsafeFile, path));
        Entry entry;
        entry.mode = unsigned(info.st_mode & 07777);
        if (S_ISDIR(info.st_mode)) {
            entry.isFolder = true;
            const FileDescriptor child(::openat(folder, name.constData(),
                                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (child.get() < 0)
                return unexpected(error(Error::unreadable, path, errno));
            if (auto scanned = scan(child.get(), path, hash, listing); !scanned)
                return scanned;
        } else if (S_ISREG(info.st_mode)) {
            entry.size = qint64(info.st_size);
            if (hash) {
                auto digest = hashFile(folder, name.constData(), path);
                if (!digest)
                    return unexpected(digest.error());
                entry.sha256 = *digest;
            }
        } else {
            return unexpected(error(Error::unsafeFile, path));
        }
        // The signature's own folder belongs to the signature, not to the signed contents.
        if (path != signatureFolder)
            listing.emplace(path, entry);
    }
    return {};
}

Result<void, Error> scanFolder(const QString& appFolder, bool hash, Listing& listing)
{
    const QByteArray root = QFile::encodeName(appFolder);
    const FileDescriptor folder(
        ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0)
        return unexpected(error(
            errno == ELOOP || errno == ENOTDIR ? Error::unsafeFile : Error::unreadable, {}, errno));
    return scan(folder.get(), {}, hash, listing);
}

QByteArray body(const Listing& listing)
{
    QByteArray text(header.toByteArray());
    for (const auto& [path, entry] : listing) {
        const QByteArray mode = QByteArray::number(entry.mode, 8).rightJustified(4, '0');
        if (entry.isFolder)
            text += "dir " + mode + ' ' + path + '\n';
        else
            text += "file " + mode + ' ' + QByteArray::number(entry.size) + ' ' + entry.sha256 +
                    ' ' + path + '\n';
    }
    return text;
}

bool safeRelativePath(QByteArrayView path)
{
    if (path.isEmpty() || path.startsWith('/') || path.endsWith('/'))
        return false;
    for (const QByteArray& piece : path.toByteArray().split('/')) {
        if (piece.isEmpty() || piece == "." || piece == "..")
            return false;
    }
    return true;
}

std::optional<Listing> parse(QByteArrayView text)
{
    if (!text.startsWith(header))
        return std::nullopt;
    Listing listing;
    QByteArrayView rest = text.sliced(header.size());
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf('\n');
        if (end < 0)
            return std::nullopt;
        const QList<QByteArray> fields = rest.first(end).toByteArray().split(' ');
        rest = rest.sliced(end + 1);
        Entry entry;
        qsizetype pathField = 0;
        bool ok = false;
        if (fields.size() >= 3 && fields[0] == "dir") {
            entry.isFolder = true;
            pathField = 2;
        } else if (fields.size() >= 5 && fields[0] == "file") {
            entry.size = fields[2].toLongLong(&ok);
            if (!ok || entry.size < 0 || fields[3].size() != 64)
                return std::nullopt;
            entry.sha256 = fields[3];
            pathField = 4;
        } else {
            return std::nullopt;
        }
        if (fields[1].size() != 4)
            return std::nullopt;
        entry.mode = fields[1].toUInt(&ok, 8);
        if (!ok)
            return std::nullopt;
        // Names may hold spaces: the path is the rest of the line.
        QByteArray path = fields.sliced(pathField).join(' ');
        if (!safeRelativePath(path) || listing.contains(path))
            return std::nullopt;
        listing.emplace(std::move(path), entry);
    }
    return listing;
}

} // namespace

namespace CodeResources {

QString Error::text() const
{
    const auto withPath = [this](const char* what) {
        return path.isEmpty() ? QString::fromLatin1(what)
                              : QString(QLatin1StringView(what) + u' ' + path);
    };
    switch (kind) {
    case noManifest:
        return QStringLiteral("no signed manifest");
    case badManifest:
        return QStringLiteral("the manifest is not valid");
    case badSignature:
        return QStringLiteral("the manifest's signature is not valid");
    case missingFile:
        return withPath("missing file");
    case extraFile:
        return withPath("extra file");
    case changedFile:
        return withPath("changed file");
    case unsafeFile:
        return withPath("unsafe file");
    case unreadable:
        return QString(withPath("cannot read") + u": " + QString::fromLocal8Bit(::strerror(code)));
    }
    return QStringLiteral("the manifest is not valid");
}

Result<void, Error> sign(const QString& appFolder, QByteArrayView privateKey)
{
    Listing listing;
    if (auto scanned = scanFolder(appFolder, true, listing); !scanned)
        return scanned;
    const QByteArray signedPart = body(listing);
    const std::optional<QByteArray> signature = Crypto::ed25519Sign(privateKey, signedPart);
    if (!signature)
        return unexpected(error(Error::badSignature));

    const QString folder = appFolder + u'/' + QLatin1StringView(signatureFolder);
    if (::mkdir(QFile::encodeName(folder).constData(), 0755) != 0 && errno != EEXIST)
        return unexpected(error(Error::unreadable, signatureFolder.toByteArray(), errno));
    QSaveFile file(appFolder + u'/' + QLatin1StringView(relativePath));
    if (!file.open(QIODevice::WriteOnly))
        return unexpected(error(Error::unreadable, manifestPath.toByteArray(), EACCES));
    file.write(signedPart + signatureMark.toByteArray() + signature->toBase64() + '\n');
    if (!file.commit())
        return unexpected(error(Error::unreadable, manifestPath.toByteArray(), EIO));
    return {};
}

Result<void, Error> validate(const QString& appFolder, QByteArrayView publicKey)
{
    const QByteArray manifestFile =
        QFile::encodeName(appFolder + u'/' + QLatin1StringView(relativePath));
    struct stat info {};
    if (::lstat(manifestFile.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return unexpected(error(Error::noManifest));
    if (info.st_size > maxManifestSize)
        return unexpected(error(Error::badManifest));
    QFile file(QFile::decodeName(manifestFile));
    if (!file.open(QIODevice::ReadOnly))
        return unexpected(error(Error::noManifest));
    const QByteArray text = file.read(maxManifestSize + 1);

    // The signature is the last line; everything before it is what was signed.
    const qsizetype mark = text.lastIndexOf(QByteArray("\n" + signatureMark.toByteArray()));
    if (mark < 0 || !text.endsWith('\n'))
        return unexpected(error(Error::badManifest));
    const QByteArrayView signedPart = QByteArrayView(text).first(mark + 1);
    const QByteArray signatureText = text.sliced(mark + 1 + signatureMark.size()).chopped(1);
    auto signature =
        QByteArray::fromBase64Encoding(signatureText, QByteArray::AbortOnBase64DecodingErrors);
    if (!signature)
        return unexpected(error(Error::badManifest));
    if (!Crypto::ed25519Verify(publicKey, signature.decoded, signedPart))
        return unexpected(error(Error::badSignature));
    const std::optional<Listing> listed = parse(signedPart);
    if (!listed)
        return unexpected(error(Error::badManifest));

    Listing present;
    if (auto scanned = scanFolder(appFolder, false, present); !scanned)
        return scanned;
    for (const auto& [path, entry] : present) {
        if (!listed->contains(path))
            return unexpected(error(Error::extraFile, path));
    }
    const QByteArray root = QFile::encodeName(appFolder);
    for (const auto& [path, entry] : *listed) {
        const auto found = present.find(path);
        if (found == present.end())
            return unexpected(error(Error::missingFile, path));
        const Entry& actual = found->second;
        if (actual.isFolder != entry.isFolder || actual.mode != entry.mode ||
            actual.size != entry.size)
            return unexpected(error(Error::changedFile, path));
        if (entry.isFolder)
            continue;
        auto digest = hashFile(AT_FDCWD, QByteArray(root + '/' + path).constData(), path);
        if (!digest)
            return unexpected(digest.error());
        if (*digest != entry.sha256)
            return unexpected(error(Error::changedFile, path));
    }
    return {};
}

} // namespace CodeResources
