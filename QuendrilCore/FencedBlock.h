#pragma once

#include "QuendrilCore/CodeLanguage.h"
#include "QuendrilCore/TextSpan.h"

#include <optional>

// A run of lines fenced by three backticks. The fences are the trimmed fence lines (from the
// first backtick to the last non-blank character, no line break); the body runs from the line
// after the opening fence to the start of the closing fence's line, or to the end of the text
// when the block is never closed.
struct FencedBlock {
    // None when the opening fence names no known language.
    std::optional<CodeLanguage> language;
    TextSpan openFence;
    TextSpan body;
    // None for a block that runs to the end of the text.
    std::optional<TextSpan> closeFence;

    bool operator==(const FencedBlock&) const = default;
};
