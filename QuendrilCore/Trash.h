#pragma once

#include "QuendrilCore/Result.h"

#include <QString>

// The freedesktop.org Trash: $XDG_DATA_HOME/Trash for files on the home volume, else
// $topdir/.Trash/$uid (when the administrator made a sticky .Trash) or $topdir/.Trash-$uid.
namespace Trash {

// Moves the file at `path` into the Trash with a ".trashinfo" that records where it came from
// (percent-encoded) and when; never replaces an item already there (a ".2", ".3", ... goes before
// the extension instead). Returns the item's new path, or the errno of the step that failed.
[[nodiscard]] Result<QString, int> moveToTrash(const QString& path);

} // namespace Trash
