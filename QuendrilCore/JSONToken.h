#pragma once

#include <QList>
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

// A half-open range [lower, upper) of UTF-16 positions.
struct JSONRange {
    qsizetype lower = 0;
    qsizetype upper = 0;

    qsizetype length() const { return upper - lower; }
    bool operator==(const JSONRange&) const = default;
};

// One token of a tokenized text: a string's range runs from its opening quotation mark to just
// after its closing one, and every range includes the offset the caller gave.
struct JSONToken {
    JSONTokenKind kind = JSONTokenKind::beginObject;
    JSONRange range;

    bool operator==(const JSONToken&) const = default;
};
