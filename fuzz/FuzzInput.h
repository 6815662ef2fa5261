#pragma once

#include "QuendrilCore/TextSpan.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>

// Turns fuzz bytes into a text of raw UTF-16 units (lone surrogates included) and a range in it,
// chosen by the first four bytes.
struct FuzzInput {
    QString text;
    TextSpan range;

    FuzzInput(const uint8_t* data, size_t size)
    {
        uint16_t a = 0, b = 0;
        if (size >= 4) {
            std::memcpy(&a, data, 2);
            std::memcpy(&b, data + 2, 2);
            data += 4;
            size -= 4;
        }
        text.resize(qsizetype(size / 2));
        std::memcpy(text.data(), data, size_t(text.size()) * 2);
        const qsizetype length = text.size();
        const qsizetype lower = length ? a % (length + 1) : 0;
        range = {lower, length ? b % (length - lower + 1) : 0};
    }
};

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            std::abort();                                                                          \
    } while (0)
