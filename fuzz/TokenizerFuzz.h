#pragma once

#include "FuzzInput.h"

#include "QuendrilCore/CodeToken.h"

#include <QList>

#include <vector>

// The checks both code tokenizers must pass, for a tokenizer `Tokenize(text, span)`. Only the
// range is read: the body alone sits in an exactly sized heap block, so the sanitizer catches a
// read past it, and the same body inside the whole text must give the same tokens.
template <typename Tokenize>
int fuzzTokenizer(const uint8_t* data, size_t size, Tokenize tokenize)
{
    const FuzzInput input(data, size);
    const QStringView whole = input.text;
    const std::vector<char16_t> copy(whole.utf16() + input.range.location,
                                     whole.utf16() + input.range.end());
    const QStringView body(copy.data(), qsizetype(copy.size()));
    const QList<CodeToken> tokens = tokenize(body, TextSpan{0, body.size()});
    qsizetype previousEnd = 0;
    for (const CodeToken& token : tokens) {
        FUZZ_CHECK(token.range.location >= previousEnd && token.range.length > 0);
        FUZZ_CHECK(token.range.end() <= body.size());
        previousEnd = token.range.end();
    }
    const QList<CodeToken> inside = tokenize(input.text, input.range);
    FUZZ_CHECK(inside.size() == tokens.size());
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        FUZZ_CHECK(inside[i].kind == tokens[i].kind);
        FUZZ_CHECK(inside[i].range.location == tokens[i].range.location + input.range.location);
        FUZZ_CHECK(inside[i].range.length == tokens[i].range.length);
    }
    return 0;
}
