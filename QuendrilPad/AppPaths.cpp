#include "QuendrilPad/AppPaths.h"

#include "QuendrilCore/FileKeyStore.h"
#include "QuendrilPad/KeychainKeyStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <unistd.h>

namespace AppPaths {

namespace {

std::optional<QString> variable(const char* name)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        return std::nullopt;
    QString path = QDir::current().absoluteFilePath(value);
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

// As many links as the kernel follows in one path before it gives up with ELOOP.
constexpr int maximumLinks = 40;

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

QString defaultAppSupport()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return QString(config + u"/quendril-pad");
}

QString appSupport()
{
    return variable("QUENDRIL_APP_SUPPORT").value_or(defaultAppSupport());
}

std::optional<QString> notesFolderOverride()
{
    return variable("QUENDRIL_NOTES_FOLDER");
}

QString notesFolder(const Settings& settings)
{
    return notesFolderOverride().value_or(settings.notesFolderURL(QDir::homePath()));
}

QString normalised(const QString& folder)
{
    // Component by component, as the kernel walks a path, except that a missing component or
    // the target of a dangling link is taken literally instead of failing.
    QStringList pending = QDir::current().absoluteFilePath(folder).split(u'/', Qt::SkipEmptyParts);
    QString resolved = QStringLiteral("/");
    int linksFollowed = 0;
    while (!pending.isEmpty()) {
        const QString part = pending.takeFirst();
        if (part == u".")
            continue;
        if (part == u"..") {
            resolved = parentOf(resolved);
            continue;
        }
        const QString next =
            resolved == u"/" ? QString(u'/' + part) : QString(resolved + u'/' + part);
        char target[PATH_MAX];
        const ssize_t length =
            ::readlink(QFile::encodeName(next).constData(), target, sizeof target);
        if (length <= 0 || ++linksFollowed > maximumLinks) {
            resolved = next;
            continue;
        }
        const QString text = QFile::decodeName(QByteArray(target, length));
        if (text.startsWith(u'/'))
            resolved = QStringLiteral("/");
        pending = text.split(u'/', Qt::SkipEmptyParts) + pending;
    }
    return resolved;
}

QStringList realNotesFolders()
{
    const QString home = QDir::homePath();
    QStringList folders{normalised(Settings{}.notesFolderURL(home))};
    QFile file(QString(defaultAppSupport() + u"/settings.json"));
    if (file.open(QIODevice::ReadOnly)) {
        if (const auto settings = Settings::decode(file.readAll()))
            folders << normalised(settings->notesFolderURL(home));
    }
    return folders;
}

KeySource keySource()
{
    const auto support = variable("QUENDRIL_APP_SUPPORT");
    const auto notes = notesFolderOverride();
    if (!support && !notes)
        return KeySource::keychain();
    if (!support || !notes)
        return KeySource::refused(onlyOneOverride.toString());
    if (realNotesFolders().contains(normalised(*notes)))
        return KeySource::refused(overrideIsRealNotesFolder.toString());
    return KeySource::devFile(QString(*support + u"/dev-sheet-key.txt"));
}

std::unique_ptr<SheetKeyStore> keyStore()
{
    const KeySource source = keySource();
    switch (source.kind) {
    case KeySource::Kind::devFile:
        return std::make_unique<FileKeyStore>(source.url);
    case KeySource::Kind::refused:
        return nullptr;
    case KeySource::Kind::keychain:
        return std::make_unique<KeychainKeyStore>(QStringLiteral("local.quendrilpad"),
                                                  QStringLiteral("sheet-key"));
    }
    return nullptr;
}

} // namespace AppPaths
