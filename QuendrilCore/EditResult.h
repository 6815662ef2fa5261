#pragma once

#include "QuendrilCore/TextEdit.h"
#include "QuendrilCore/TextRange.h"

// What a text command computes: one edit, applied as one undoable step, and the selection to
// set afterwards (positions in the text after the edit; an empty range is a caret).
struct EditResult {
    TextEdit edit;
    TextRange selection;

    bool operator==(const EditResult&) const = default;
};
