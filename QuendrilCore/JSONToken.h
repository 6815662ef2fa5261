#pragma once

#include "QuendrilCore/TextRange.h"

#include <QtGlobal>

// What a JSON token is; the order is part of the contract (colouring tables index by it).
enum class JSONTokenKind : quint8 {
    beginObject,
    endObject,
    beginArray,
    endArray,
    colon,
    comma,
    string,
    number,
    literal, // true, false or null
};

// One token of a tokenized text: a string's range runs from its opening quotation mark to just
// after its closing one, and every range includes the offset the caller gave.
struct JSONToken {
    JSONTokenKind kind = JSONTokenKind::beginObject;
    TextRange range;

    bool operator==(const JSONToken&) const = default;
};
