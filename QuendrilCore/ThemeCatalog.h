#pragma once

#include "QuendrilCore/Theme.h"

#include <QList>

// The list of themes the user chooses from.
namespace ThemeCatalog {

// The built-in themes in their order, each replaced by the first file theme of the same name
// (any case; the file's spelling stays), then every file theme named like no built-in, in file
// order. Later file namesakes of a built-in are dropped; other namesakes are all kept.
[[nodiscard]] QList<Theme> merge(const QList<Theme>& builtIns, const QList<Theme>& fileThemes);

} // namespace ThemeCatalog
