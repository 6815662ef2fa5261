#pragma once

#include "QuendrilCore/SheetFile.h"

// How a document took a text found in its file.
struct ReloadOutcome {
    enum class Kind {
        unchanged,
        reloaded,
        // The other program's text was saved as the new sheet `diskCopy`, and the user's text
        // stayed in the file.
        keptBoth,
    };
    Kind kind = Kind::unchanged;
    SheetFile diskCopy;

    static ReloadOutcome unchanged() { return {}; }
    static ReloadOutcome reloaded() { return {Kind::reloaded, {}}; }
    static ReloadOutcome keptBoth(SheetFile diskCopy) { return {Kind::keptBoth, std::move(diskCopy)}; }

    bool operator==(const ReloadOutcome&) const = default;
};
