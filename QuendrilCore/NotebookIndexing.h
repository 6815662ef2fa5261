#pragma once

#include "QuendrilCore/SearchIndex.h"
#include "QuendrilCore/SheetStore.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// Filling the search index from a notes folder: the whole folder once after launch, and one
// file again whenever it changes. Used by the notebook loader and by quendril-tool, so that
// both index a folder the same way.
namespace NotebookIndexing {

struct LoadOutcome {
    // Names of the sheets still plain while encryption is on (empty ones left out), including
    // those too large to index.
    QStringList plainNames;

    bool operator==(const LoadOutcome&) const = default;
};

// Scans the folder (a failed scan counts as no sheets), reserves the arena once from the scanned
// sizes and upserts every readable sheet of at most `IndexPolicy::maxFileSize` bytes in scan
// order; sheets that cannot be read are passed over silently.
[[nodiscard]] LoadOutcome load(const SheetStore& store, SearchIndex& index);

// Indexes the file at `url` afresh under the URL made of the store's folder and its name, dated
// `date` or else by the store's date rule; a file that is gone, is not a regular file, is over
// the size limit or cannot be read is removed from the index instead.
void refresh(const SheetStore& store, SearchIndex& index, const QString& url,
             const std::optional<QDateTime>& date = std::nullopt);

} // namespace NotebookIndexing
