#include "QuendrilCore/SystemVersion.h"

#include <gnu/libc-version.h>

SystemVersion SystemVersion::parse(QStringView text)
{
    qint64 pieces[3] = {0, 0, 0};
    int count = 0;
    for (const QStringView piece : text.tokenize(u'.', Qt::SkipEmptyParts)) {
        if (count == 3)
            break;
        bool ok = false;
        const qint64 value = piece.toLongLong(&ok, 10);
        pieces[count++] = ok ? value : 0;
    }
    return {pieces[0], pieces[1], pieces[2]};
}

SystemVersion SystemVersion::running()
{
    return parse(QString::fromLatin1(gnu_get_libc_version()));
}

QString SystemVersion::toString() const
{
    return QString::number(major) + u'.' + QString::number(minor) + u'.' + QString::number(patch);
}
