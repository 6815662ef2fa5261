#include "QuendrilCore/SheetKeyStore.h"

#include <cstring>

QString SheetKeyStoreError::description() const
{
    const QString reason = QString::fromLocal8Bit(std::strerror(code));
    switch (kind) {
    case Kind::fileRead:
        return QStringLiteral("Could not read the key file: %1").arg(reason);
    case Kind::folderCreate:
        return QStringLiteral("Could not create the key file's folder: %1").arg(reason);
    case Kind::fileWrite:
        return QStringLiteral("Could not write the key file: %1").arg(reason);
    case Kind::keyring:
        return QStringLiteral("Keyring error %1").arg(code);
    }
    return QString();
}
