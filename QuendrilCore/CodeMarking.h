#pragma once

#include "QuendrilCore/CodeLanguage.h"
#include "QuendrilCore/EditResult.h"
#include "QuendrilCore/FencedBlock.h"
#include "QuendrilCore/TextRange.h"

#include <QStringView>

#include <optional>

// The edits behind "Mark as Bash", "Mark as SQL" and "Remove Code Marker".
namespace CodeMarking {

// The first block whose opening fence starts at or before the selection's start and that ends
// (closing fence included, or the body's end for an unclosed block) at or after it.
[[nodiscard]] std::optional<FencedBlock> block(TextRange selection, QStringView text);

// Inside a block, rewrites its opening fence for `language` and selects the body; elsewhere,
// fences the selection's whole lines and selects them.
[[nodiscard]] EditResult mark(QStringView text, TextRange selection, CodeLanguage language);

// Replaces the block holding the selection's start, fences and all, with its body, selected;
// none when the selection's start is in no block. The text gains no line break.
[[nodiscard]] std::optional<EditResult> removeMarkers(QStringView text, TextRange selection);

} // namespace CodeMarking
