#include "QuendrilCore/UpdatePlace.h"

UpdatePlace UpdatePlace::check(QStringView bundlePath, bool volumeIsReadOnly, bool folderIsWritable)
{
    if (bundlePath.contains(u"/AppTranslocation/"))
        return {translocated};
    if (volumeIsReadOnly)
        return {readOnlyVolume};
    return {folderIsWritable ? ok : folderNotWritable};
}

std::optional<QString> UpdatePlace::message() const
{
    switch (kind) {
    case ok:
        return std::nullopt;
    case translocated:
    case readOnlyVolume:
        return QStringLiteral("Move Quendril Pad to your Applications folder to get updates.");
    case folderNotWritable:
        return QStringLiteral("Can't check for updates: the app's folder can't be written.");
    }
    return std::nullopt;
}

const char* UpdatePlace::name() const
{
    switch (kind) {
    case ok:
        return "ok";
    case translocated:
        return "translocated";
    case readOnlyVolume:
        return "readOnlyVolume";
    case folderNotWritable:
        return "folderNotWritable";
    }
    return "ok";
}
