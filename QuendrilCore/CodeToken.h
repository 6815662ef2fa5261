#pragma once

#include "QuendrilCore/CodeTokenKind.h"
#include "QuendrilCore/TextSpan.h"

// One coloured piece of a code block: its kind and where it lies in the whole text.
struct CodeToken {
    CodeTokenKind kind = CodeTokenKind::keyword;
    TextSpan range;

    bool operator==(const CodeToken&) const = default;
};
