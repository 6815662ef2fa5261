#include "QuendrilCore/AppFolder.h"

#include <QDir>
#include <QFileInfo>

namespace AppFolder {

std::optional<QString> containing(const QString& executablePath)
{
    // Contents/bin/quendril-pad: the folder is two levels above the executable's own folder.
    const QFileInfo exe(executablePath);
    QDir folder = exe.absoluteDir();
    if (folder.dirName() != u"bin" || !folder.cdUp() || folder.dirName() != u"Contents" ||
        !folder.cdUp())
        return std::nullopt;
    if (!folder.dirName().endsWith(u".app") ||
        !QFileInfo(folder.filePath(QLatin1StringView(infoPlist))).isFile())
        return std::nullopt;
    return folder.absolutePath();
}

} // namespace AppFolder
